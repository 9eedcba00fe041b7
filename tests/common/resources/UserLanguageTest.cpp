#include "common/resources/linux/UserLanguage.h"
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

    EXPECT_EQ(BundlePathForLibrary("languages\\de-de.dll", "/opt/v/"), "/opt/v/languages/de-de");
    EXPECT_EQ(BundlePathForLibrary("dorltRES.DLL", "/opt/v"), "/opt/v/dorltRES");
    EXPECT_EQ(BundlePathForLibrary("snfRES", "/opt/v/"), "/opt/v/snfRES");
    EXPECT_EQ(BundlePathForLibrary(".dll", "/opt/v/"), "/opt/v/.dll");
    EXPECT_EQ(BundlePathForLibrary("/tmp/x.dll", "/opt/v/"), "/tmp/x");
}
