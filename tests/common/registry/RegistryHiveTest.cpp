#include "common/registry/RegistryHive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> TextData(std::string_view text) {
    auto data = Bytes(text);
    data.push_back(0);
    return data;
}

const CRegistryKey* Key(const CRegistryKey& root, std::string_view path) {
    const auto components = SplitRegistryKeyPath(path);
    return components ? FindRegistryKey(root, *components) : nullptr;
}

const RegistryValue* Value(const CRegistryKey& root, std::string_view path, std::string_view name) {
    const auto* key = Key(root, path);
    return key != nullptr ? key->FindValue(name) : nullptr;
}

RegistryHiveText Parse(std::string_view text) {
    return ParseRegistryHive(text, kUserHiveRootName);
}

std::string Serialize(const CRegistryKey& root) {
    const auto text = SerializeRegistryHive(root, kUserHiveRootName);
    EXPECT_TRUE(text.has_value());
    return text.value_or("");
}

// What the registry editor writes, line breaks and all.
const std::string kEditorExport = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                                  "\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Example]\r\n"
                                  "@=\"default text\"\r\n"
                                  "\"Quoted\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n"
                                  "\"Count\"=dword:0000002a\r\n"
                                  "\"Blob\"=hex:00,01,02,fe,\\\r\n"
                                  "  ff\r\n"
                                  "\"Expand\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00\r\n"
                                  "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                  "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                                  "\"Nothing\"=hex(0):\r\n"
                                  "\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Example\\Sub]\r\n"
                                  "\r\n";

TEST(RegistryHiveText, ReadsEveryFormTheEditorWrites) {
    const auto hive = Parse(kEditorExport);
    EXPECT_TRUE(hive.whole);
    const std::string key = "Software\\Example";

    EXPECT_EQ(Value(hive.root, key, "")->data, TextData("default text"));
    EXPECT_EQ(Value(hive.root, key, "Quoted")->data, TextData("C:\\Program Files\\\"x\""));
    EXPECT_EQ(Value(hive.root, key, "Quoted")->type, RegistryType::Sz);
    EXPECT_EQ(Value(hive.root, key, "Count")->type, RegistryType::Dword);
    EXPECT_EQ(Value(hive.root, key, "Count")->data, (std::vector<uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(Value(hive.root, key, "Blob")->data,
              (std::vector<uint8_t>{0x00, 0x01, 0x02, 0xfe, 0xff}));
    EXPECT_EQ(Value(hive.root, key, "Expand")->type, RegistryType::ExpandSz);
    EXPECT_EQ(Value(hive.root, key, "Expand")->data, TextData("%PATH%"));
    EXPECT_EQ(Value(hive.root, key, "Multi")->data, Bytes(std::string_view("a\0b\0\0", 5)));
    EXPECT_EQ(Value(hive.root, key, "Big")->type, RegistryType::Qword);
    EXPECT_EQ(Value(hive.root, key, "Big")->data.size(), 8u);
    EXPECT_EQ(Value(hive.root, key, "Nothing")->type, RegistryType::None);
    EXPECT_TRUE(Value(hive.root, key, "Nothing")->data.empty());
    EXPECT_NE(Key(hive.root, "Software\\Example\\Sub"), nullptr);
}

TEST(RegistryHiveText, WritesBackWhatItReadAndStaysStable) {
    auto hive = Parse(kEditorExport + "; a note someone left\n");
    ASSERT_TRUE(hive.whole);
    CreateRegistryKey(hive.root, {"Software", "Empty"});
    hive.root.SetValue({"AtRoot", RegistryType::Dword, {1, 2, 3, 4}, false});

    const std::string text = Serialize(hive.root);
    EXPECT_NE(text.find("\"Quoted\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Count\"=dword:0000002a\n"), std::string::npos);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER]\n\"AtRoot\"=dword:04030201\n"), std::string::npos);

    const auto again = Parse(text);
    EXPECT_TRUE(again.whole);
    EXPECT_EQ(Serialize(again.root), text);
    const auto* example = Key(again.root, "Software\\Example");
    ASSERT_NE(example, nullptr);
    EXPECT_EQ(example->Values(), Key(hive.root, "Software\\Example")->Values());
    EXPECT_EQ(Key(again.root, "Software\\Example\\Sub")->comments,
              std::vector<std::string>{"; a note someone left"});
    EXPECT_NE(Key(again.root, "Software\\Empty"), nullptr);
    EXPECT_EQ(again.root.FindValue("AtRoot")->data, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(RegistryHiveText, LongHexDataIsWrappedAndReadBack) {
    CRegistryKey root;
    std::vector<uint8_t> data(300);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7);
    }
    CreateRegistryKey(root, {"K"}).SetValue({"Long", RegistryType::Binary, data, false});
    const std::string text = Serialize(root);
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        EXPECT_LE(end - start, 80u);
        start = end + 1;
    }
    EXPECT_EQ(Value(Parse(text).root, "K", "Long")->data, data);
}

TEST(RegistryHiveText, TextThatTheQuotedFormCannotHoldStillRoundTrips) {
    CRegistryKey root;
    auto& key = CreateRegistryKey(root, {"K"});
    key.SetValue({"Lines", RegistryType::Sz, TextData("one\ntwo\r\n"), false});
    key.SetValue({"Unterminated", RegistryType::Sz, Bytes("abc"), false});
    key.SetValue({"Latin1", RegistryType::Sz, TextData("caf\xE9"), false}); // not UTF-8
    key.SetValue({"Odd", RegistryType::ExpandSz, {0x41, 0x00, 0x42}, true});
    const auto hive = Parse(Serialize(root));
    ASSERT_TRUE(hive.whole);
    for (const auto& value : key.Values()) {
        EXPECT_EQ(*Value(hive.root, "K", value.name), value) << value.name;
    }

    key.SetValue({"Lines", RegistryType::Sz, TextData("caf\xE9\n"), false});
    EXPECT_FALSE(SerializeRegistryHive(root, kUserHiveRootName).has_value());
    CRegistryKey badName;
    CreateRegistryKey(badName, {"two\nlines"});
    EXPECT_FALSE(SerializeRegistryHive(badName, kUserHiveRootName).has_value());
}

TEST(RegistryHiveText, UnconvertibleUtf16IsKeptAsWritten) {
    const auto hive = Parse("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n"
                            "\"Odd\"=hex(2):41,00,42\n"
                            "\"Lone\"=hex(1):00,d8,41,00,00,00\n");
    ASSERT_TRUE(hive.whole);
    EXPECT_TRUE(Value(hive.root, "K", "Odd")->rawUtf16);
    EXPECT_EQ(Value(hive.root, "K", "Lone")->data,
              (std::vector<uint8_t>{0x00, 0xd8, 0x41, 0x00, 0x00, 0x00}));
    const std::string text = Serialize(hive.root);
    EXPECT_NE(text.find("\"Odd\"=hex(2):41,00,42\n"), std::string::npos);
    EXPECT_NE(text.find("\"Lone\"=hex(1):00,d8,41,00,00,00\n"), std::string::npos);
    EXPECT_EQ(Utf16LeToUtf8Lossy(Value(hive.root, "K", "Lone")->data), std::string("\xEF\xBF\xBD"
                                                                                   "A\0",
                                                                                   5));
}

TEST(RegistryHiveText, DamageIsReportedWhileTheRestIsRead) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string good = "[HKEY_CURRENT_USER\\Good]\n\"kept\"=\"yes\"\n";
    const std::vector<std::string> damaged = {
        good + "[HKEY_CURRENT_USER\\Cut]\n\"name\"=\"val",  // cut off in a line
        good + "\"after\"=dword:0000",                      // cut off inside a number
        good + "\"after\"=hex:01,0",                        // cut off inside hex data
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=\"no end\n",  // unterminated text
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=hex:01,zz\n", // not a hex byte
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=hex:01,\\\n", // continues past the end
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=hex:01,\\\n[HKEY_CURRENT_USER\\L]\n",
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=dword:123456789\n",
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=\"a\\nb\"\n", // an escape the format lacks
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=-\n",         // deletes rather than holds
        good + "[-HKEY_CURRENT_USER\\K]\n",
        good + "[HKEY_LOCAL_MACHINE\\K]\n\"x\"=\"y\"\n", // another hive's key
        good + "[HKEY_CURRENT_USER\\K\\\\L]\n",
        good + "[HKEY_CURRENT_USER\\K\n",
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=junk\n",
        good + "stray text\n",
        good + "[HKEY_CURRENT_USER\\K]\n\"x\"=\"a\rb\"\n", // a lone carriage return
        std::string("[HKEY_CURRENT_USER\\K]\n\"x\"=\"a") + '\0' + "b\"\n" + good,
    };
    for (const auto& body : damaged) {
        const auto hive = Parse(header + body);
        EXPECT_FALSE(hive.whole) << body;
        const auto* kept = Value(hive.root, "Good", "kept");
        ASSERT_NE(kept, nullptr) << body;
        EXPECT_EQ(kept->data, TextData("yes"));
    }
    EXPECT_FALSE(Parse(good).whole); // no header
    EXPECT_FALSE(Parse(header + "\"x\"=\"before any key\"\n").whole);
    EXPECT_TRUE(Parse(header + good).whole);
    EXPECT_TRUE(Parse("").whole);
}

TEST(RegistryHiveText, AHandEditedLastLineWithoutLineBreakIsWhole) {
    const std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n";
    for (const std::string last :
         {"\"x\"=\"typed\"", "\"x\"=dword:0000002a", "[HKEY_CURRENT_USER\\L]"}) {
        EXPECT_TRUE(Parse(text + last).whole) << last;
    }
    EXPECT_EQ(Value(Parse(text + "\"x\"=\"typed\"").root, "K", "x")->data, TextData("typed"));
}

TEST(RegistryHiveText, ValuesOfAKeyLineAfterADamagedOneAreNotMisplaced) {
    const auto hive =
        Parse("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,\\\n"
              "[HKEY_CURRENT_USER\\B]\n\"y\"=\"in B\"\n");
    EXPECT_FALSE(hive.whole);
    EXPECT_EQ(Value(hive.root, "A", "y"), nullptr);
    ASSERT_NE(Value(hive.root, "B", "y"), nullptr);
}

TEST(RegistryKey, NamesIgnoreCaseAndKeepTheCaseFirstWritten) {
    CRegistryKey root;
    auto& key = CreateRegistryKey(root, {"Software", "Example"});
    EXPECT_EQ(&CreateRegistryKey(root, {"SOFTWARE", "example"}), &key);
    EXPECT_EQ(root.SubKey(0).Name(), "Software");

    key.SetValue({"UserName", RegistryType::Sz, TextData("a"), false});
    key.SetValue({"USERNAME", RegistryType::Sz, TextData("b"), false});
    ASSERT_EQ(key.Values().size(), 1u);
    EXPECT_EQ(key.Values()[0].name, "UserName");
    EXPECT_EQ(key.FindValue("username")->data, TextData("b"));

    EXPECT_EQ(FoldRegistryName("\xC3\xA4rger"), FoldRegistryName("\xC3\x84RGER")); // ärger
    EXPECT_EQ(FoldRegistryName("\xD0\xBC\xD0\xB8\xD1\x80"),
              FoldRegistryName("\xD0\x9C\xD0\x98\xD0\xA0")); // мир
    EXPECT_EQ(FoldRegistryName("\xC5\x82\xC3\xB3\xC5\xBA"),
              FoldRegistryName("\xC5\x81\xC3\x93\xC5\xB9")); // łóź
    EXPECT_NE(FoldRegistryName("a"), FoldRegistryName("b"));
    EXPECT_EQ(FoldRegistryName("x\xFFy"), "X\xFFY"); // not UTF-8: the byte stays
}

TEST(RegistryKey, EnumerationOrderSurvivesChanges) {
    CRegistryKey key;
    for (const char* name : {"b", "_under", "A", "c"}) {
        key.AddSubKey(name);
    }
    std::vector<std::string> subKeys;
    for (std::size_t i = 0; i < key.SubKeyCount(); ++i) {
        subKeys.push_back(key.SubKey(i).Name());
    }
    // Upper-case folding puts the underscore after the letters, as the registry sorts.
    EXPECT_EQ(subKeys, (std::vector<std::string>{"A", "b", "c", "_under"}));
    EXPECT_TRUE(key.RemoveSubKey("B"));
    EXPECT_FALSE(key.RemoveSubKey("b"));
    EXPECT_EQ(key.SubKeyCount(), 3u);

    for (const char* name : {"z", "y", "x", "w"}) {
        key.SetValue({name, RegistryType::Dword, {1, 0, 0, 0}, false});
    }
    EXPECT_TRUE(key.DeleteValue("Y"));
    EXPECT_FALSE(key.DeleteValue("y"));
    key.SetValue({"X", RegistryType::Dword, {2, 0, 0, 0}, false});
    ASSERT_EQ(key.Values().size(), 3u);
    EXPECT_EQ(key.Values()[0].name, "z");
    EXPECT_EQ(key.Values()[1].name, "x");
    EXPECT_EQ(key.Values()[1].data[0], 2);
    EXPECT_EQ(key.FindValue("w"), &key.Values()[2]);
}

TEST(RegistryKeyPath, SplitsAndRejectsEmptyOrOverlongComponents) {
    EXPECT_EQ(SplitRegistryKeyPath("")->size(), 0u);
    EXPECT_EQ(*SplitRegistryKeyPath("Software\\A b\\1.2"),
              (std::vector<std::string_view>{"Software", "A b", "1.2"}));
    EXPECT_FALSE(SplitRegistryKeyPath("\\Software").has_value());
    EXPECT_FALSE(SplitRegistryKeyPath("Software\\").has_value());
    EXPECT_FALSE(SplitRegistryKeyPath("a\\\\b").has_value());
    EXPECT_TRUE(SplitRegistryKeyPath(std::string(255, 'k')).has_value());
    EXPECT_FALSE(SplitRegistryKeyPath(std::string(256, 'k')).has_value());
}

TEST(RegistryUtf16, ConvertsExactlyOrNotAtAll) {
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // Aé€😀
    const auto wide = Utf8ToUtf16Le(text);
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(*wide, (std::vector<uint8_t>{0x41, 0, 0xE9, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}));
    EXPECT_EQ(Utf16LeToUtf8(*wide), text);
    EXPECT_FALSE(Utf8ToUtf16Le("\xC0\x80").has_value());               // overlong
    EXPECT_FALSE(Utf8ToUtf16Le("\xED\xA0\x80").has_value());           // surrogate
    EXPECT_FALSE(Utf16LeToUtf8({0x00, 0xDC, 0x41, 0x00}).has_value()); // lone low surrogate
    EXPECT_FALSE(Utf16LeToUtf8({0x41}).has_value());
}

} // namespace
