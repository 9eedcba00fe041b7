#include "tools/mkbundle/DesktopEntry.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<ResourceBundle>
Texts(std::initializer_list<std::tuple<const char*, unsigned, const char*>> texts) {
    ResourceBundleWriter writer;
    for (const auto& [language, id, text] : texts) {
        EXPECT_TRUE(writer.AddText(language, id, text)) << writer.Error();
    }
    const auto bytes = writer.Finish();
    return ResourceBundle::Parse(bytes);
}

} // namespace

TEST(DesktopEntry, NamesComeBrandedInEveryLanguageThatDiffers) {
    const auto texts = Texts({{"en-us", 160, "%p web interface"},
                              {"de-de", 160, "%p-Weboberfl\u00e4che"},
                              {"nl-nl", 160, "%p web interface"}, // as English: no key of its own
                              {"en-us", 161, "Your %v"},
                              {"de-de", 161, "Ihr %v"},
                              {"nl-nl", 161, "Uw %v"}});
    ASSERT_NE(texts, nullptr);
    const auto entry = ExpandDesktopEntry("# the template's own note\n"
                                          "[Desktop Entry]\n"
                                          "Name=@160@\n"
                                          "Comment=@161@\n"
                                          "Exec=doorlet /web\n"
                                          "X-Not-A-Reference=@web@\n",
                                          *texts, "Acme");
    ASSERT_TRUE(entry.ok) << entry.error;
    EXPECT_EQ(entry.text, "[Desktop Entry]\n"
                          "Name=Acme web interface\n"
                          "Name[de]=Acme-Weboberfl\u00e4che\n"
                          "Comment=Your Acme\n"
                          "Comment[de]=Ihr Acme\n"
                          "Comment[nl]=Uw Acme\n"
                          "Exec=doorlet /web\n"
                          "X-Not-A-Reference=@web@\n");
}

TEST(DesktopEntry, ValuesStayOneLineAndKeepTheirBackslashes) {
    const auto texts = Texts({{"en-us", 1, " Two\nlines \\ and\ta tab"}});
    ASSERT_NE(texts, nullptr);
    const auto entry = ExpandDesktopEntry("Comment=@1@\n", *texts, "Acme");
    ASSERT_TRUE(entry.ok) << entry.error;
    EXPECT_EQ(entry.text, "Comment=\\sTwo\\nlines \\\\ and\\ta tab\n");
}

TEST(DesktopEntry, AMissingTextFailsWithItsLine) {
    const auto texts = Texts({{"en-us", 160, "Name"}, {"de-de", 161, "Nur deutsch"}});
    ASSERT_NE(texts, nullptr);
    auto entry = ExpandDesktopEntry("[Desktop Entry]\nName=@170@\n", *texts, "Acme");
    EXPECT_FALSE(entry.ok);
    EXPECT_EQ(entry.line, 2u);
    EXPECT_NE(entry.error.find("170"), std::string::npos);

    entry = ExpandDesktopEntry("[Desktop Entry]\n\nName=@160@\n", *texts, "Acme");
    EXPECT_FALSE(entry.ok);
    EXPECT_EQ(entry.line, 3u);
    EXPECT_NE(entry.error.find("de-de"), std::string::npos);
}

TEST(DesktopEntry, LocaleHasTheCountryOnlyWhereTwoTagsShareALanguage) {
    const std::vector<std::string> tags = {"en-us", "de-de", "pt-pt", "pt-br"};
    EXPECT_EQ(DesktopLocale("de-de", tags), "de");
    EXPECT_EQ(DesktopLocale("pt-br", tags), "pt_BR");
    EXPECT_EQ(DesktopLocale("pt-pt", tags), "pt_PT");
}
