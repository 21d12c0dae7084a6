#include "DialogFixture.h"

#include "support/JsonReader.h"

#include <cstdlib>

namespace
{
class LanguageTest : public DialogTest
{
protected:
    std::vector<std::string> Captions() const
    {
        return {run.Text(kLabel), run.Text(kOk), run.Text(kDiscover), run.Text(kCancel), run.Text(kUsb)};
    }
};
}  // namespace

TEST_F(LanguageTest, CaptionsComeFromTheCountrysLibrary)
{
    Prepare("T-Eng", "M1");
    StartDialog();
    EXPECT_EQ(std::vector<std::string>({"Select device:", "OK", "Discover", "Cancel", "USB"}), Captions());
}

TEST_F(LanguageTest, AnotherCountryAnotherLanguage)
{
    Prepare("T-Deu", "M1", "DEU");
    StartDialog();
    EXPECT_EQ(std::vector<std::string>({"Gerät wählen:", "OK", "Suchen", "Abbrechen", "USB"}), Captions());
    // The library is unloaded again once the dialog shows: it can be replaced.
    EXPECT_TRUE(::DeleteFileA((run.Dir() + "DEU.dll").c_str()));
}

TEST_F(LanguageTest, AMissingLibraryIsReportedForEveryCaptionAndTheProgramGoesOn)
{
    Prepare("T-NoLib", "M1", "ENG", false);
    ASSERT_TRUE(run.Start());
    std::vector<MessageBoxSeen> boxes;
    for (int i = 0; i < 20; ++i)
    {
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (box = FindMessageBox(run.ProcessId(), "Error")) != nullptr; }, 10000))
            << "box " << i;
        boxes.push_back(ReadMessageBox(box));
        ASSERT_TRUE(CloseMessageBox(box));
    }
    for (size_t i = 0; i < boxes.size(); ++i)
    {
        EXPECT_EQ(i % 2 ? "ENG.dll" : "Can't load resource file.", boxes[i].text) << i;
        EXPECT_EQ(nullptr, boxes[i].owner) << i;
    }
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_EQ(nullptr, FindMessageBox(run.ProcessId(), "Error"));
    EXPECT_EQ(std::vector<std::string>({"", "", "", "", ""}), Captions());
    run.Command(kCancel);
    EXPECT_TRUE(EndsWith(IDNO));
}

// Runs in the Japanese code page (932), where a directory name may hold a
// double-byte character whose second byte is the backslash code.
TEST(Cp932, AProgramDirectoryWithATrailByteBackslashStillFindsItsFiles)
{
    const char* expected = std::getenv("CONNSETUP_EXPECT_ACP");
    if (::GetACP() != 932)
    {
        ASSERT_EQ(nullptr, expected) << "this run was meant to have code page " << expected;
        GTEST_SKIP() << "needs code page 932; the rig runs it in a Japanese locale";
    }
    DeleteKeyTree(TestKey("T-Jpn"));
    // "\x95\x5c" is the character U+8868 in code page 932: in the directory's
    // name, and in the program's own name after the last real backslash.
    ProgramRun run("cs-\x95\x5c", "ConnSetup\x95\x5c.exe");
    run.CopyBeside("JPN.dll");
    run.WriteFile("twain.ini", "[MODEL]\r\nMFG=" + TestMaker("T-Jpn") + "\r\nMDL=\x95\x5c-100\r\nCOUNTRY=JPN\r\n");
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_EQ("\xe8\xa1\xa8-100", TextOf(run.Dialog()));
    EXPECT_EQ("デバイスを選択:", run.Text(kLabel));
    EXPECT_EQ("検索", run.Text(kDiscover));
    EXPECT_EQ("キャンセル", run.Text(kCancel));
    // The application's name, the framework's box caption, keeps the character whole.
    run.Key(VK_F1);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindMessageBox(run.ProcessId())) != nullptr; }, 5000));
    EXPECT_EQ("ConnSetup\xe8\xa1\xa8", ReadMessageBox(box).caption);
    ASSERT_TRUE(CloseMessageBox(box));
    run.Command(kOk);
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_TRUE(KeyExists(TestKey("T-Jpn\\\x95\x5c-100")));
    // JSON in ASCII in this code page too: the double-byte character as its \uXXXX.
    const ConsoleResult json = run.RunConsole("show --json");
    EXPECT_EQ(0u, json.out.find("{\"maker\": \"" TEST_KEY_ROOT
                                "\\\\T-Jpn\", \"model\": \"\\u8868-100\", \"country\": \"JPN\""))
        << json.out;
    JsonValue shown;
    std::string why;
    ASSERT_TRUE(ParseJson(json.out, shown, why)) << why;
    EXPECT_EQ("\x95\x5c-100", shown["model"].Ansi());
    DeleteKeyTree(TestKey("T-Jpn"));
}
