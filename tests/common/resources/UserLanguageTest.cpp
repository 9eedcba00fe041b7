#include "common/resources/UserLanguage.h"
#include "common/files/Paths.h"
#include "common/resources/ResourceManager.h"
#include "tests/common/resources/TestFolder.h"

#include <gtest/gtest.h>

TEST(UserLanguage, LocaleNamesGiveTagAndPrimaryLanguage) {
    struct Case {
        const char* locale;
        const char* tag;
        unsigned primary;
    };
    const Case cases[] = {
        {"de_DE.UTF-8", "de-de", 7},
        {"fr_CA@euro", "fr-ca", 12},
        {"nl", "nl", 19},
        {"es_ES.utf8", "es-es", 10},
        {"it_IT.ISO-8859-1", "it-it", 16},
        {"ja_JP.UTF-8", "ja-jp", 17},
        {"C", "en-us", 9},
        {"C.UTF-8", "en-us", 9},
        {"POSIX", "en-us", 9},
        {"", "en-us", 9},
        {"../../etc", "en-us", 9},
        {"x", "en-us", 9},
        {"tlh_XX", "tlh-xx", 0},
    };
    for (const auto& c : cases) {
        const UserLanguage language = ParseLocaleName(c.locale);
        EXPECT_EQ(language.tag, c.tag) << c.locale;
        EXPECT_EQ(language.primaryLanguage, c.primary) << c.locale;
    }
}

TEST(UserLanguage, FirstNonEmptyOfLcAllLcMessagesLang) {
#ifdef _WIN32
    // The locale variables are Linux's; Windows has the account's locale.
    GTEST_SKIP() << "the language does not come from LC_ALL, LC_MESSAGES or LANG";
#endif
    {
        ScopedEnvironment all("LC_ALL", "");
        ScopedEnvironment messages("LC_MESSAGES", "fr_FR.UTF-8");
        ScopedEnvironment lang("LANG", "de_DE.UTF-8");
        EXPECT_EQ(ReadUserLanguage().tag, "fr-fr");
    }
    {
        ScopedEnvironment all("LC_ALL", "it_IT");
        ScopedEnvironment messages("LC_MESSAGES", "fr_FR.UTF-8");
        EXPECT_EQ(ReadUserLanguage().tag, "it-it");
    }
    {
        ScopedEnvironment all("LC_ALL", std::nullopt);
        ScopedEnvironment messages("LC_MESSAGES", std::nullopt);
        ScopedEnvironment lang("LANG", std::nullopt);
        EXPECT_EQ(ReadUserLanguage().tag, "en-us");
    }
}

TEST(UserLanguage, LanguageTableAndLibraryFileNames) {
    EXPECT_STREQ(LanguageLibraryName(7), "languages\\de-de.dll");
    EXPECT_STREQ(LanguageLibraryName(10), "languages\\es-es.dll");
    EXPECT_STREQ(LanguageLibraryName(12), "languages\\fr-fr.dll");
    EXPECT_STREQ(LanguageLibraryName(16), "languages\\it-it.dll");
    EXPECT_STREQ(LanguageLibraryName(19), "languages\\nl-nl.dll");
    EXPECT_STREQ(LanguageLibraryName(9), "languages\\en-us.dll");
    EXPECT_STREQ(LanguageLibraryName(17), "languages\\en-us.dll");
    EXPECT_STREQ(LanguageLibraryName(0), "languages\\en-us.dll");

    // Library names take the platform's separator; the program directory stays as it is given.
    const std::string s(1, kPathSeparator);
    EXPECT_EQ(BundlePathForLibrary("languages\\de-de.dll", "/opt/v/"),
              "/opt/v/languages" + s + "de-de");
    EXPECT_EQ(BundlePathForLibrary("dorltRES.DLL", "/opt/v"), "/opt/v" + s + "dorltRES");
    EXPECT_EQ(BundlePathForLibrary("snfRES", "/opt/v/"), "/opt/v/snfRES");
    EXPECT_EQ(BundlePathForLibrary(".dll", "/opt/v/"), "/opt/v/.dll");
    EXPECT_EQ(BundlePathForLibrary("/tmp/x.dll", "/opt/v/"), s + "tmp" + s + "x");
#ifdef _WIN32
    EXPECT_EQ(BundlePathForLibrary("languages\\de-de.dll", "C:\\Program Files\\Velmora\\"),
              "C:\\Program Files\\Velmora\\languages\\de-de");
    EXPECT_EQ(BundlePathForLibrary("D:\\x.dll", "C:\\v\\"), "D:\\x");
#endif
}

TEST(UserLanguage, WindowsLocaleNamesGiveLanguageAndRegion) {
    struct Case {
        const char* locale;
        const char* tag;
        unsigned primary;
    };
    const Case cases[] = {
        {"de-DE", "de-de", 7},      {"nl", "nl", 19},
        {"sr-Latn-RS", "sr-rs", 0}, {"zh-Hans", "zh", 4},
        {"es-419", "es-419", 10},   {"fr-CA", "fr-ca", 12},
        {"", "en-us", 9},           {"de-DE.UTF-8", "en-us", 9},
        {"x-y", "en-us", 9},        {"de-DE@euro", "en-us", 9},
    };
    for (const auto& c : cases) {
        const UserLanguage language = ParseWindowsLocaleName(c.locale);
        EXPECT_EQ(language.tag, c.tag) << c.locale;
        EXPECT_EQ(language.primaryLanguage, c.primary) << c.locale;
    }
}
