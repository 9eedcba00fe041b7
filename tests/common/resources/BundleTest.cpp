#include "common/resources/ResourceBundle.h"
#include "tests/common/resources/TestFolder.h"

#include <gtest/gtest.h>

namespace {

std::vector<unsigned char> SampleBundle() {
    ResourceBundleWriter writer;
    EXPECT_TRUE(writer.AddText("fr-fr", 1, "un"));
    EXPECT_TRUE(writer.AddText("de-at", 1, "eins (AT)"));
    EXPECT_TRUE(writer.AddText("de-at", 2, "zwei (AT)"));
    EXPECT_TRUE(writer.AddText("en-gb", 1, "one (GB)"));
    EXPECT_TRUE(writer.AddText("en-us", 1, "one"));
    EXPECT_TRUE(writer.AddText("en-us", 3, "three"));
    EXPECT_TRUE(writer.AddText("fr-fr", 4, "quatre"));
    EXPECT_TRUE(writer.AddDialogText("en-us", 104, 0, "Caption"));
    EXPECT_TRUE(writer.AddDialogText("de-at", 104, 1002, "Immer verwenden"));
    EXPECT_TRUE(writer.AddImage("IDB_SPLASH", FakePng(7)));
    return writer.Finish();
}

std::string Text(const ResourceBundle& bundle, const std::vector<std::string>& order, unsigned id) {
    const std::string* text = bundle.FindText(order, id);
    return text != nullptr ? *text : "<missing>";
}

// Rewrites the header's size and checksum after a test changed the body, so that only the change
// itself can make the reader refuse the bundle.
void Reseal(std::vector<unsigned char>& bytes) {
    const auto body = std::span<const unsigned char>(bytes).subspan(bundle_format::kHeaderSize);
    const uint32_t size = static_cast<uint32_t>(body.size());
    const uint32_t crc = bundle_format::Crc32(body);
    for (int i = 0; i < 4; ++i) {
        bytes[8 + i] = static_cast<unsigned char>(size >> (8 * i));
        bytes[12 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
}

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// A bundle with one string table of one text, and the offset of that text's length field.
std::vector<unsigned char> OneTextBundle(const std::string& text, size_t& lengthAt) {
    ResourceBundleWriter writer;
    EXPECT_TRUE(writer.AddText("en-us", 5, text));
    auto bytes = writer.Finish();
    // header, section head (8), tag (1 + 5), count (4), id (4)
    lengthAt = bundle_format::kHeaderSize + 8 + 6 + 4 + 4;
    return bytes;
}

} // namespace

TEST(ResourceBundle, WrittenBundleReadsBackWhole) {
    const auto bytes = SampleBundle();
    auto bundle = ResourceBundle::Parse(bytes);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->Languages(), (std::vector<std::string>{"fr-fr", "de-at", "en-gb", "en-us"}));
    EXPECT_EQ(*bundle->FindText("de-at", 2), "zwei (AT)");
    EXPECT_EQ(bundle->FindText("de-at", 3), nullptr);
    EXPECT_EQ(*bundle->FindDialogText("en-us", 104, 0), "Caption");
    ASSERT_NE(bundle->FindImage("IDB_SPLASH"), nullptr);
    EXPECT_EQ(*bundle->FindImage("IDB_SPLASH"), FakePng(7));
    EXPECT_EQ(bundle->FindImage("IDB_OTHER"), nullptr);
}

TEST(ResourceBundle, LanguageChoiceGoesExactThenSameLanguageThenEnglishThenFirst) {
    auto bundle = ResourceBundle::Parse(SampleBundle());
    ASSERT_TRUE(bundle);

    EXPECT_EQ(bundle->LanguageOrder("de-de"),
              (std::vector<std::string>{"de-at", "en-us", "en-gb", "fr-fr"}));
    EXPECT_EQ(bundle->LanguageOrder("en-gb"),
              (std::vector<std::string>{"en-gb", "en-us", "fr-fr"}));
    EXPECT_EQ(bundle->LanguageOrder("ja-jp"),
              (std::vector<std::string>{"en-us", "en-gb", "fr-fr"}));

    // Each id is looked up along that order: a text the German table lacks comes in English, one
    // that only the first language holds comes from it, one that nobody holds is missing.
    const auto german = bundle->LanguageOrder("de-de");
    EXPECT_EQ(Text(*bundle, german, 1), "eins (AT)");
    EXPECT_EQ(Text(*bundle, german, 3), "three");
    EXPECT_EQ(Text(*bundle, german, 4), "quatre");
    EXPECT_EQ(Text(*bundle, german, 9), "<missing>");
    EXPECT_EQ(*bundle->FindDialogText(german, 104, 1002), "Immer verwenden");
    EXPECT_EQ(*bundle->FindDialogText(german, 104, 0), "Caption");

    ResourceBundleWriter noEnglish;
    ASSERT_TRUE(noEnglish.AddText("it-it", 1, "uno"));
    ASSERT_TRUE(noEnglish.AddText("nl-nl", 1, "een"));
    auto bundle2 = ResourceBundle::Parse(noEnglish.Finish());
    ASSERT_TRUE(bundle2);
    EXPECT_EQ(Text(*bundle2, bundle2->LanguageOrder("de-de"), 1), "uno");
    EXPECT_EQ(Text(*bundle2, bundle2->LanguageOrder("nl-be"), 1), "een");
}

TEST(ResourceBundle, EveryTruncationAndEveryFlippedByteIsRefused) {
    const auto bytes = SampleBundle();
    for (size_t length = 0; length < bytes.size(); ++length) {
        EXPECT_FALSE(ResourceBundle::Parse(std::span(bytes).first(length))) << length;
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto damaged = bytes;
        damaged[i] ^= 0x20;
        EXPECT_FALSE(ResourceBundle::Parse(damaged)) << i;
    }
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(ResourceBundle::Parse(longer));
}

TEST(ResourceBundle, ConsistentChecksumDoesNotMakeBadContentTrusted) {
    size_t lengthAt = 0;
    const auto good = OneTextBundle("abc", lengthAt);
    ASSERT_TRUE(ResourceBundle::Parse(good));

    auto tooLong = good; // a text length that runs past its section
    PutU32(tooLong, lengthAt, 4);
    Reseal(tooLong);
    EXPECT_FALSE(ResourceBundle::Parse(tooLong));

    auto huge = good;
    PutU32(huge, lengthAt, 0xffffffffu);
    Reseal(huge);
    EXPECT_FALSE(ResourceBundle::Parse(huge));

    auto hugeCount = good; // a count far beyond what the section can hold
    PutU32(hugeCount, lengthAt - 8, 0x7fffffffu);
    Reseal(hugeCount);
    EXPECT_FALSE(ResourceBundle::Parse(hugeCount));

    auto badUtf8 = good;
    badUtf8[lengthAt + 4] = 0xc0; // overlong lead byte
    Reseal(badUtf8);
    EXPECT_FALSE(ResourceBundle::Parse(badUtf8));

    auto nul = good;
    nul[lengthAt + 5] = 0;
    Reseal(nul);
    EXPECT_FALSE(ResourceBundle::Parse(nul));

    auto unknownKind = good;
    unknownKind[bundle_format::kHeaderSize] = 9;
    Reseal(unknownKind);
    EXPECT_FALSE(ResourceBundle::Parse(unknownKind));

    auto newerVersion = good;
    newerVersion[4] = 2;
    EXPECT_FALSE(ResourceBundle::Parse(newerVersion));

    auto badTag = good; // "en-us" becomes "EN-us"
    badTag[bundle_format::kHeaderSize + 9] = 'E';
    Reseal(badTag);
    EXPECT_FALSE(ResourceBundle::Parse(badTag));
}

TEST(ResourceBundle, WriterRefusesWhatAReaderWouldRefuse) {
    ResourceBundleWriter writer;
    EXPECT_TRUE(writer.AddText("en-us", 1, "one"));
    EXPECT_FALSE(writer.AddText("en-us", 1, "again"));
    EXPECT_FALSE(writer.AddText("EN_US", 2, "tag"));
    EXPECT_FALSE(writer.AddText("en-us", 3, std::string("a\0b", 3)));
    EXPECT_FALSE(writer.AddText("en-us", 4, "\xff"));
    EXPECT_FALSE(writer.AddText("en-us", 5, std::string(bundle_format::kMaxTextSize + 1, 'x')));
    EXPECT_TRUE(writer.AddDialogText("en-us", 1, 2, "x"));
    EXPECT_FALSE(writer.AddDialogText("en-us", 1, 2, "y"));
    EXPECT_FALSE(writer.AddImage("splash", {'G', 'I', 'F', '8'}));
    EXPECT_FALSE(writer.AddImage("has space", FakePng(1)));
    EXPECT_TRUE(writer.AddImage("splash", FakePng(1)));
    EXPECT_FALSE(writer.AddImage("splash", FakePng(2)));
    EXPECT_TRUE(ResourceBundle::Parse(writer.Finish()));
}

TEST(ResourceBundle, LoadFileRefusesMissingAndDamagedFiles) {
    TestFolder folder;
    auto bytes = SampleBundle();
    folder.Write("good", bytes);
    bytes.resize(bytes.size() / 2);
    folder.Write("half", bytes);
    EXPECT_TRUE(ResourceBundle::LoadFile(folder.Path() + "good"));
    EXPECT_FALSE(ResourceBundle::LoadFile(folder.Path() + "half"));
    EXPECT_FALSE(ResourceBundle::LoadFile(folder.Path() + "missing"));
    EXPECT_FALSE(ResourceBundle::LoadFile(folder.Path()));
}

TEST(ResourceBundle, TextChecksFollowUtf8) {
    using bundle_format::IsValidText;
    EXPECT_TRUE(IsValidText("Gerät auswählen — ok €"));
    EXPECT_TRUE(IsValidText("\xf0\x9f\x93\xb7"));
    EXPECT_FALSE(IsValidText("\xe2\x82"));         // cut sequence
    EXPECT_FALSE(IsValidText("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(IsValidText("\xe0\x80\xaf"));     // overlong
    EXPECT_FALSE(IsValidText("\xf4\x90\x80\x80")); // beyond U+10FFFF
}
