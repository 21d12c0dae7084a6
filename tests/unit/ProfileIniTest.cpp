#include "config/ProfileIni.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Watches every call of the system's profile reader.
struct ReaderCall
{
    DWORD size;
    std::string fileName;
};
std::vector<ReaderCall> g_calls;

DWORD WINAPI WatchedReader(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size, LPCSTR fileName)
{
    g_calls.push_back({size, fileName ? fileName : "(null)"});
    return ::GetPrivateProfileStringA(section, key, defaultText, buffer, size, fileName);
}

class ProfileIniTest : public ::testing::Test
{
protected:
    void SetUp() override { g_calls.clear(); }

    std::string Read(const std::string& path, const char* section, const char* key, const char* defaultText)
    {
        CProfileIni ini(WatchedReader);
        ini.SetPath(path.c_str());
        return ini.GetString(section, key, defaultText);
    }

    std::vector<DWORD> Sizes() const
    {
        std::vector<DWORD> sizes;
        for (const ReaderCall& call : g_calls)
            sizes.push_back(call.size);
        return sizes;
    }

    TempDir dir;
};
}  // namespace

TEST_F(ProfileIniTest, ReadsTheModelSectionWithoutRegardToCase)
{
    const std::string path = dir.Write("twain.ini", "[model]\r\nmfg=Maker\r\nMdl=X-100\r\nCOUNTRY=DEU\r\n");
    EXPECT_EQ("Maker", Read(path, "MODEL", "MFG", "ORVEL"));
    EXPECT_EQ("X-100", Read(path, "MODEL", "MDL", "QX7S&QN8S"));
    EXPECT_EQ("DEU", Read(path, "MODEL", "COUNTRY", "ENG"));
}

TEST_F(ProfileIniTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ("ORVEL", Read(dir.Path() + "none.ini", "MODEL", "MFG", "ORVEL"));
    const std::string path = dir.Write("twain.ini", "[OTHER]\nMFG=Wrong\n[MODEL]\nMDL=Only\n");
    EXPECT_EQ("ORVEL", Read(path, "MODEL", "MFG", "ORVEL"));
    EXPECT_EQ("Only", Read(path, "MODEL", "MDL", "QX7S&QN8S"));
    EXPECT_EQ("", Read(path, "MODEL", "COUNTRY", nullptr));
}

TEST_F(ProfileIniTest, AnEmptyValueIsTheEmptyTextNotTheDefault)
{
    const std::string path = dir.Write("twain.ini", "[MODEL]\nMFG=\n");
    EXPECT_EQ("", Read(path, "MODEL", "MFG", "ORVEL"));
}

TEST_F(ProfileIniTest, GrowsTheBufferUntilTheValueFitsWithOneToSpare)
{
    const std::string v510(510, 'a');
    const std::string v511(511, 'b');
    const std::string v2000(2000, 'c');
    const std::string path = dir.Write("twain.ini", "[MODEL]\nA=" + v510 + "\nB=" + v511 + "\nC=" + v2000 + "\n");

    EXPECT_EQ(v510, Read(path, "MODEL", "A", ""));
    EXPECT_EQ(std::vector<DWORD>({512}), Sizes());

    g_calls.clear();
    EXPECT_EQ(v511, Read(path, "MODEL", "B", ""));
    EXPECT_EQ(std::vector<DWORD>({512, 1024}), Sizes());

    g_calls.clear();
    EXPECT_EQ(v2000, Read(path, "MODEL", "C", ""));
    EXPECT_EQ(std::vector<DWORD>({512, 1024, 1536, 2048}), Sizes());
    for (const ReaderCall& call : g_calls)
        EXPECT_EQ(path, call.fileName);  // every round reads the file again
}

TEST_F(ProfileIniTest, NullSectionOrKeyReturnsTheDefaultWithoutReading)
{
    CProfileIni ini(WatchedReader);
    ini.SetPath((dir.Path() + "twain.ini").c_str());
    EXPECT_STREQ("dflt", ini.ReadString(nullptr, "MFG", "dflt").get());
    EXPECT_STREQ("dflt", ini.ReadString("MODEL", nullptr, "dflt").get());
    EXPECT_STREQ("", ini.ReadString(nullptr, nullptr, nullptr).get());
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ProfileIniTest, ANullPathEmptiesTheHeldPathAndDoesNothingOnAFreshReader)
{
    CProfileIni fresh(WatchedReader);
    fresh.SetPath(nullptr);
    EXPECT_EQ("dflt", fresh.GetString("MODEL", "MFG", "dflt"));
    EXPECT_TRUE(g_calls.empty());

    CProfileIni ini(WatchedReader);
    ini.SetPath(dir.Write("twain.ini", "[MODEL]\nMFG=Maker\n").c_str());
    ini.SetPath(nullptr);
    ini.GetString("MODEL", "MFG", "dflt");
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ("", g_calls[0].fileName);
}

TEST_F(ProfileIniTest, OddFilesGetTheSystemReadersResults)
{
    // Blanks around '=' are the reader's to trim.
    EXPECT_EQ("Spaced Out", Read(dir.Write("a.ini", "[MODEL]\n  MFG  =  Spaced Out  \n"), "MODEL", "MFG", "d"));

    std::string binary = "\x01\x02\xff\xfe[\x00\x00]=\x80\x81\n";
    binary.append(4096, '\0');
    binary += "\n[MODEL]\nMDL=After\n";
    EXPECT_EQ("d", Read(dir.Write("b.ini", binary), "MODEL", "MFG", "d"));

    std::string huge;
    for (int i = 0; i < 100000; ++i)
        huge += "[S" + std::to_string(i) + "]\nK=" + std::string(40, 'v') + "\n";
    huge += "[MODEL]\nCOUNTRY=FRA\n";
    EXPECT_EQ("FRA", Read(dir.Write("c.ini", huge), "MODEL", "COUNTRY", "ENG"));
}
