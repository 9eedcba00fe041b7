// The registry store in the Windows registry: what only the real registry has (its value types,
// UTF-16 texts) and the store's rules on top of it, in both hives.
#include "common/registry/windows/RegistryWin.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

class RegistryWinTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        m_key = "Software\\VelmoraTest\\Run" + std::to_string(::GetCurrentProcessId());
        ASSERT_TRUE(m_registry.CreateKey(Root(), m_key));
    }
    void TearDown() override {
        ::RegDeleteTreeW(Hive(), WideKey().c_str());
        ::RegDeleteKeyW(Hive(), L"Software\\VelmoraTest");
    }

    int Root() const { return GetParam(); }
    HKEY Hive() const { return Root() == Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
    std::wstring WideKey() const { return std::wstring(m_key.begin(), m_key.end()); }

    void SetRaw(const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegOpenKeyExW(Hive(), WideKey().c_str(), 0, KEY_SET_VALUE, &key),
                  ERROR_SUCCESS);
        EXPECT_EQ(
            ::RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    CRegistryWin m_registry;
    std::string m_key;
};

TEST_P(RegistryWinTest, StoredTypesReportTheirKindAndReadAsTextOnlyWhenTheyAreTextOrNumbers) {
    const std::vector<BYTE> wideText = {'a', 0, 'b', 0, 0, 0};
    const struct {
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> data;
        RegistryValueKind kind;
        std::string asText;
    } cases[] = {
        {L"sz", REG_SZ, wideText, RegistryValueText, "ab"},
        {L"expand", REG_EXPAND_SZ, wideText, RegistryValueText, "ab"},
        {L"multi", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, RegistryValueText, "a"},
        {L"dword", REG_DWORD, {0x2a, 0, 0, 0}, RegistryValueNumber, "42"},
        {L"bigendian", REG_DWORD_BIG_ENDIAN, {0, 0, 1, 0}, RegistryValueNumber, "256"},
        {L"qword", REG_QWORD, {0, 0, 0, 0, 1, 0, 0, 0}, RegistryValueNumber, "4294967296"},
        {L"binary", REG_BINARY, {1, 2, 3}, RegistryValueBinary, "default"},
        {L"none", REG_NONE, {1}, RegistryValueNone, "default"},
    };
    for (const auto& c : cases) {
        SetRaw(c.name, c.type, c.data);
        const std::wstring wide(c.name);
        const std::string name(wide.begin(), wide.end());
        EXPECT_EQ(m_registry.GetValueKind(Root(), m_key, name), c.kind) << name;
        EXPECT_EQ(m_registry.GetString(Root(), m_key, name, "default"), c.asText) << name;
        EXPECT_EQ(m_registry.GetValueSize(Root(), m_key, name), c.data.size()) << name;
    }
    // Numbers read whatever fits four bytes, whatever the type; more gives the default.
    EXPECT_EQ(m_registry.GetDword(Root(), m_key, "binary", 7), 0x030201u);
    EXPECT_EQ(m_registry.GetDword(Root(), m_key, "qword", 7), 7u);
    EXPECT_EQ(m_registry.GetValueCount(Root(), m_key), std::size(cases));
}

TEST_P(RegistryWinTest, TextsAreUtf8HereAndUtf16InTheRegistry) {
    const std::string text = "Gr\xc3\xbc\xc3\x9f"
                             "e \xe6\x9d\xb1\xe4\xba\xac"; // "Grüße 東京"
    ASSERT_TRUE(m_registry.SetString(Root(), m_key, "bGroupName", text));
    EXPECT_EQ(m_registry.GetString(Root(), m_key, "bGroupName", ""), text);

    wchar_t stored[32] = {};
    DWORD size = sizeof stored;
    DWORD type = REG_NONE;
    ASSERT_EQ(
        ::RegGetValueW(Hive(), WideKey().c_str(), L"bGroupName", RRF_RT_ANY, &type, stored, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(stored), L"Gr\u00fc\u00dfe \u6771\u4eac");
    // The terminator is stored with the text.
    EXPECT_EQ(size, (std::wstring(stored).size() + 1) * sizeof(wchar_t));

    ASSERT_TRUE(m_registry.SetString(Root(), m_key, "empty", ""));
    EXPECT_EQ(m_registry.GetValueSize(Root(), m_key, "empty"), sizeof(wchar_t));
    EXPECT_EQ(m_registry.GetString(Root(), m_key, "empty", "default"), "");
}

TEST_P(RegistryWinTest, TextOfAFullBufferOrMoreGivesTheDefault) {
    ASSERT_TRUE(m_registry.SetString(Root(), m_key, "fits", std::string(255, 'x')));
    ASSERT_TRUE(m_registry.SetString(Root(), m_key, "long", std::string(256, 'x')));
    // Two bytes a character in UTF-8: 128 of them need 257 bytes with the terminator.
    std::string accented;
    for (int i = 0; i < 128; ++i) {
        accented += "\xc3\xa9";
    }
    ASSERT_TRUE(m_registry.SetString(Root(), m_key, "accented", accented));
    EXPECT_EQ(m_registry.GetString(Root(), m_key, "fits", "default"), std::string(255, 'x'));
    EXPECT_EQ(m_registry.GetString(Root(), m_key, "long", "default"), "default");
    EXPECT_EQ(m_registry.GetString(Root(), m_key, "accented", "default"), "default");
}

TEST_P(RegistryWinTest, KeysFollowTheStoreRules) {
    const std::string child = m_key + "\\New\\Deeper";
    EXPECT_TRUE(m_registry.SetDword(Root(), child, "bGroupSel", 3));
    EXPECT_EQ(m_registry.GetDword(Root(), child, "bGroupSel", 0), 3u);
    EXPECT_TRUE(m_registry.KeyExists(Root(), "\\" + child));
    EXPECT_EQ(m_registry.GetSubKeyCount(Root(), m_key), 1u);
    std::string name = "stale";
    EXPECT_TRUE(m_registry.EnumSubKeyName(Root(), m_key, 0, name));
    EXPECT_EQ(name, "New");
    EXPECT_FALSE(m_registry.EnumSubKeyName(Root(), m_key, 1, name));
    EXPECT_EQ(name, "");
    EXPECT_FALSE(m_registry.EnumValueName(Root(), child, 1, name));
    EXPECT_EQ(name, "");

    // Not recursive; a missing key is deleted already.
    EXPECT_FALSE(m_registry.DeleteKey(Root(), m_key + "\\New"));
    EXPECT_TRUE(m_registry.KeyExists(Root(), m_key + "\\New"));
    EXPECT_TRUE(m_registry.DeleteKey(Root(), child));
    EXPECT_TRUE(m_registry.DeleteKey(Root(), child));
    EXPECT_FALSE(m_registry.KeyExists(Root(), child));

    // A value absent from an existing key reports text; a missing key nothing.
    EXPECT_EQ(m_registry.GetValueKind(Root(), m_key, "absent"), RegistryValueText);
    EXPECT_EQ(m_registry.GetValueKind(Root(), child, "absent"), RegistryValueNone);
    EXPECT_TRUE(m_registry.SetString(Root(), m_key, "gone", "x"));
    EXPECT_TRUE(m_registry.DeleteValue(Root(), m_key, "gone"));
    EXPECT_FALSE(m_registry.ValueExists(Root(), m_key, "gone"));
    EXPECT_FALSE(m_registry.DeleteValue(Root(), m_key, "gone"));
}

INSTANTIATE_TEST_SUITE_P(BothHives, RegistryWinTest, ::testing::Values(Machine, User));

TEST(RegistryWinRootTest, AnyOtherRootFails) {
    CRegistryWin registry;
    EXPECT_FALSE(registry.SetString(2, "Software\\VelmoraTest", "v", "x"));
    EXPECT_FALSE(registry.CreateKey(-1, "Software\\VelmoraTest"));
    EXPECT_EQ(registry.GetString(2, "Software", "v", "default"), "default");
    EXPECT_FALSE(registry.KeyExists(2, "Software"));
}

} // namespace
