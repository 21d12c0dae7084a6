#include "config/SettingsKey.h"

#include "support/Registry.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
const std::string kBase = "SOFTWARE\\ConnSetupTests";

class SettingsKeyTest : public ::testing::Test
{
protected:
    void SetUp() override { DeleteKeyTree(kBase); }
    void TearDown() override { DeleteKeyTree(kBase); }
    CSettingsKey key;
};
}  // namespace

TEST_F(SettingsKeyTest, OpenCreatesTheKeyAndEveryMissingKeyOnItsPath)
{
    ASSERT_TRUE(key.Open("HKEY_CURRENT_USER", kBase + "\\a\\b\\c"));
    key.Close();
    EXPECT_TRUE(KeyExists(kBase + "\\a\\b\\c"));
    EXPECT_TRUE(ValueNames(kBase + "\\a\\b\\c").empty());
}

TEST_F(SettingsKeyTest, OnlyTheThreeRootNamesAreKnownExactly)
{
    EXPECT_FALSE(key.Open("HKEY_USERS", kBase));
    EXPECT_FALSE(key.Open("hkey_current_user", kBase));
    EXPECT_FALSE(key.Open("HKEY_CURRENT_USER ", kBase));
    EXPECT_FALSE(KeyExists(kBase));
}

TEST_F(SettingsKeyTest, WritesBinaryValuesAndReadsThemBack)
{
    ASSERT_TRUE(key.Open("HKEY_CURRENT_USER", kBase));
    const unsigned char data[4] = {1, 2, 0, 4};
    EXPECT_TRUE(key.WriteBinary("Four", data, 4));
    unsigned char back[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(key.ReadBinary("Four", back, sizeof back));
    key.Close();
    EXPECT_EQ(0, memcmp(back, "\x01\x02\x00\x04\x00\x00", 6));

    const StoredValue stored = ReadValue(kBase, "Four");
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), stored.type);
    EXPECT_EQ(std::vector<unsigned char>({1, 2, 0, 4}), stored.bytes);
}

TEST_F(SettingsKeyTest, MissingOrOversizedValuesReadAsZeros)
{
    WriteValue(kBase, "Long", REG_BINARY, std::vector<unsigned char>(17, 'x'));
    ASSERT_TRUE(key.Open("HKEY_CURRENT_USER", kBase));
    unsigned char buffer[16];
    memset(buffer, 0xAA, sizeof buffer);
    key.ReadBinary("Missing", buffer, sizeof buffer);
    EXPECT_EQ(std::vector<unsigned char>(16, 0), std::vector<unsigned char>(buffer, buffer + 16));
    memset(buffer, 0xAA, sizeof buffer);
    key.ReadBinary("Long", buffer, sizeof buffer);
    EXPECT_EQ(std::vector<unsigned char>(16, 0), std::vector<unsigned char>(buffer, buffer + 16));
    key.Close();
}

TEST_F(SettingsKeyTest, AKeyThatCannotBeOpenedIsNeverUsed)
{
    // A key name component may have at most 255 characters.
    EXPECT_FALSE(key.Open("HKEY_CURRENT_USER", kBase + "\\" + std::string(300, 'm')));
    const unsigned char one = 1;
    EXPECT_FALSE(key.WriteBinary("PortType", &one, 1));
    unsigned char buffer[4] = {7, 7, 7, 7};
    key.ReadBinary("PortType", buffer, sizeof buffer);
    EXPECT_EQ(std::vector<unsigned char>(4, 0), std::vector<unsigned char>(buffer, buffer + 4));
    key.Close();
    EXPECT_TRUE(ValueNames(kBase).empty());
}

namespace
{
// A read that writes into the buffer and then fails: after ERROR_MORE_DATA
// the buffer's contents are undefined on Windows.
LONG g_readResult;
LONG WINAPI ScribblingReader(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE data, LPDWORD size)
{
    if (data && size)
        std::memset(data, 0x5A, *size);
    return g_readResult;
}
}  // namespace

TEST_F(SettingsKeyTest, AFailedReadLeavesZerosWhateverTheSystemLeftInTheBuffer)
{
    CSettingsKey scribbled(::RegSetValueExA, ScribblingReader);
    ASSERT_TRUE(scribbled.Open("HKEY_CURRENT_USER", kBase));
    for (const LONG result : {ERROR_MORE_DATA, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED})
    {
        SCOPED_TRACE(result);
        g_readResult = result;
        unsigned char buffer[16];
        memset(buffer, 0xAA, sizeof buffer);
        EXPECT_FALSE(scribbled.ReadBinary("Velmora", buffer, sizeof buffer));
        EXPECT_EQ(std::vector<unsigned char>(16, 0), std::vector<unsigned char>(buffer, buffer + 16));
    }
    scribbled.Close();
}
