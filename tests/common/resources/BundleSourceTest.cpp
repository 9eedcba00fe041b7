#include "tools/mkbundle/BundleSource.h"
#include "tests/common/resources/TestFolder.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<ResourceBundle> Build(const std::string& source, BundleSourceResult& result,
                                      const std::string& base = "/nonexistent") {
    ResourceBundleWriter writer;
    result = ReadBundleSource(source, "test.txt", base, writer);
    return result.ok ? ResourceBundle::Parse(writer.Finish()) : nullptr;
}

} // namespace

TEST(BundleSource, TextsEscapesContinuationsAndDialogs) {
    BundleSourceResult result;
    auto bundle = Build("# comment\n"
                        "language en-us\n"
                        "string 112 \"Searching for %p...\\n\\nPlease wait.\"\n"
                        "string 117 \"Software\\\\Corvanta\"  \n"
                        "string 135 \"first \"\n"
                        "           \"\\\"second\\\"\\t\"\n"
                        "\n"
                        "language de-de\r\n"
                        "dialog 104 1002 \"Immer verwenden\"\r\n",
                        result);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_TRUE(bundle);
    EXPECT_EQ(*bundle->FindText("en-us", 112), "Searching for %p...\n\nPlease wait.");
    EXPECT_EQ(*bundle->FindText("en-us", 117), "Software\\Corvanta");
    EXPECT_EQ(*bundle->FindText("en-us", 135), "first \"second\"\t");
    EXPECT_EQ(*bundle->FindDialogText("de-de", 104, 1002), "Immer verwenden");
    EXPECT_EQ(bundle->FindText("de-de", 112), nullptr);
}

TEST(BundleSource, MistakesNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"string 1 \"no language\"\n", "test.txt:1:"},
        {"language en-us\nstring x \"id\"\n", "test.txt:2:"},
        {"language en-us\nstring 1 \"unterminated\n", "test.txt:2:"},
        {"language en-us\nstring 1 \"bad \\q escape\"\n", "test.txt:2:"},
        {"language en-us\nstring 1 \"a\" trailing\n", "test.txt:2:"},
        {"language en-us\nstring 1 \"a\"\nstring 1 \"b\"\n", "test.txt:3:"},
        {"language en-us\ndialog 104 \"no control\"\n", "test.txt:2:"},
        {"language EN\n", "test.txt:1:"},
        {"language en-us\n\nstrnig 1 \"typo\"\n", "test.txt:3:"},
        {"image IDB_SPLASH missing.png\n", "test.txt:1:"},
    };
    for (const auto& [source, where] : cases) {
        BundleSourceResult result;
        Build(source, result);
        EXPECT_FALSE(result.ok) << source;
        EXPECT_EQ(result.error.rfind(where, 0), 0u) << source << " -> " << result.error;
    }
}

TEST(BundleSource, ImagesAreReadRelativeToTheSource) {
    TestFolder folder;
    folder.Write("art/splash.png", FakePng(9));
    folder.Write("images.txt", "image IDB_SPLASH art/splash.png\n");
    ResourceBundleWriter writer;
    const auto result = ReadBundleSourceFile(folder.Path() + "images.txt", writer);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.inputs.size(), 1u);
    auto bundle = ResourceBundle::Parse(writer.Finish());
    ASSERT_TRUE(bundle);
    ASSERT_NE(bundle->FindImage("IDB_SPLASH"), nullptr);
    EXPECT_EQ(*bundle->FindImage("IDB_SPLASH"), FakePng(9));

    folder.Write("bad.txt", "image IDB_SPLASH images.txt\n");
    ResourceBundleWriter other;
    EXPECT_FALSE(ReadBundleSourceFile(folder.Path() + "bad.txt", other).ok);
}
