#include "config/LangLibrary.h"

#include "support/Desktop.h"
#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(LangLibrary, ModulePathIsThisProgramsFile)
{
    CLangLibrary lang;
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(path, lang.GetModulePath());
}

TEST(LangLibrary, TextsComeFromTheLibraryBesideTheProgram)
{
    CLangLibrary lang;
    lang.SetLibraryName("ENG.dll");
    EXPECT_EQ("Select device:", lang.GetText(2000));
    EXPECT_EQ("Discover", lang.GetText(2002));
    EXPECT_EQ("6002 :\n\nNo scanner answered on the network.\nCheck that the scanner is switched on and "
              "connected, then press Discover again.",
              lang.GetNumberedMessage(6002));
}

TEST(LangLibrary, AMissingTextIsEmptyAndNumberedKeepsItsPrefix)
{
    CLangLibrary lang;
    lang.SetLibraryName("TST.dll");
    EXPECT_EQ("", lang.GetText(2999));
    EXPECT_EQ("2999 :\n\n", lang.GetNumberedMessage(2999));
    EXPECT_EQ("6002 :\n\nNothing answered.", lang.GetNumberedMessage(6002));
}

TEST(LangLibrary, PercentSignsAreTextNotFormat)
{
    CLangLibrary lang;
    lang.SetLibraryName("TST.dll");
    EXPECT_EQ("100%% sure: %s %d %n", lang.GetText(2000));
    EXPECT_EQ("2000 :\n\n100%% sure: %s %d %n", lang.GetNumberedMessage(2000));
}

TEST(LangLibrary, LongTextsAreCutTo511Bytes)
{
    CLangLibrary lang;
    lang.SetLibraryName("TST.dll");
    EXPECT_EQ(std::string(511, 'L'), lang.GetText(2001));
}

TEST(LangLibrary, ANewNameTakesEffectOnlyAfterUnload)
{
    CLangLibrary lang;
    lang.SetLibraryName("TST.dll");
    EXPECT_EQ("second", lang.GetText(2002));
    lang.SetLibraryName("ENG.dll");
    EXPECT_EQ("second", lang.GetText(2002));
    lang.Unload();
    EXPECT_EQ("Discover", lang.GetText(2002));
}

TEST(LangLibrary, TheTextBufferIsSharedByAllObjects)
{
    CLangLibrary first;
    CLangLibrary second;
    first.SetLibraryName("TST.dll");
    second.SetLibraryName("ENG.dll");
    const char* earlier = first.LoadText(2002);
    EXPECT_STREQ("second", earlier);
    const char* later = second.LoadText(2003);
    EXPECT_EQ(earlier, later);
    EXPECT_STREQ("Cancel", earlier);
    EXPECT_EQ("third", first.GetText(2003));  // loading again changed nothing of first's library
}

namespace
{
// Closes this process's "Error" boxes as they come, keeping their texts.
class ErrorBoxCloser
{
public:
    ErrorBoxCloser()
        : m_thread(
              [this]
              {
                  while (!m_stop)
                  {
                      if (HWND hBox = FindMessageBox(::GetCurrentProcessId(), "Error"))
                      {
                          const MessageBoxSeen seen = ReadMessageBox(hBox);
                          if (CloseMessageBox(hBox))
                              m_texts.push_back(seen.text);
                      }
                      ::Sleep(10);
                  }
              })
    {
    }
    ~ErrorBoxCloser() { Stop(); }
    std::vector<std::string> Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_texts;
    }

private:
    // The boxes hold the test's thread until they are closed.
    Watchdog m_bound{30000, "the error boxes were not all closed within 30 s"};
    std::atomic<bool> m_stop{false};
    std::vector<std::string> m_texts;
    std::thread m_thread;
};
}  // namespace

TEST(LangLibrary, AMissingLibraryIsReportedAtEveryAttempt)
{
    const std::vector<std::string> pair = {"Can't load resource file.", "NOPE.dll"};
    CLangLibrary lang;
    lang.SetLibraryName("NOPE.dll");
    {
        ErrorBoxCloser closer;
        EXPECT_EQ("", lang.GetText(2000));
        EXPECT_EQ(std::vector<std::string>({pair[0], pair[1], pair[0], pair[1]}), closer.Stop());
    }
    {
        ErrorBoxCloser closer;
        EXPECT_STREQ("", lang.LoadText(2000));
        EXPECT_EQ(pair, closer.Stop());
    }
    {
        ErrorBoxCloser closer;
        EXPECT_EQ("6002 :\n\n", lang.GetNumberedMessage(6002));
        EXPECT_EQ(4u, closer.Stop().size());
    }
}

TEST(LangLibrary, ALibraryIsReadAsDataAndItsCodeNeverRuns)
{
    const std::string marker = TestExeDir() + "RUN.dll.ran";
    ::DeleteFileA(marker.c_str());
    {
        CLangLibrary lang;
        lang.SetLibraryName("RUN.dll");
        EXPECT_EQ("Chosen as data", lang.GetText(2000));
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(marker.c_str())) << "the library's entry point ran";
    // Loaded as a program library, the same file does leave its marker.
    const HMODULE hRun = ::LoadLibraryA((TestExeDir() + "RUN.dll").c_str());
    ASSERT_NE(nullptr, hRun);
    ::FreeLibrary(hRun);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(marker.c_str()));
    ::DeleteFileA(marker.c_str());
}

TEST(LangLibrary, ACountryThatIsNotAPlainFileNameLoadsNothing)
{
    // Each name would find a library if it were followed as a path.
    const std::string eng = TestExeDir() + "ENG.dll";
    const std::vector<std::string> planted = {TestExeDir() + "sub\\ENG.dll", TestExeDir() + "..\\ENG.dll",
                                              "C:\\ENG.dll"};
    ::CreateDirectoryA((TestExeDir() + "sub").c_str(), nullptr);
    for (const std::string& path : planted)
        ASSERT_TRUE(::CopyFileA(eng.c_str(), path.c_str(), FALSE)) << path;
    for (const char* country : {"sub\\ENG", "..\\ENG", "C:\\ENG", "ENG:x", "sub/ENG"})
    {
        SCOPED_TRACE(country);
        const std::string name = std::string(country) + ".dll";
        CLangLibrary lang;
        lang.SetLibraryName(name);
        ErrorBoxCloser closer;
        EXPECT_EQ("", lang.GetText(2000));
        EXPECT_EQ(std::vector<std::string>({"Can't load resource file.", name, "Can't load resource file.", name}),
                  closer.Stop());
    }
    for (const std::string& path : planted)
        ::DeleteFileA(path.c_str());
    ::RemoveDirectoryA((TestExeDir() + "sub").c_str());
}

TEST(LangLibrary, APlainFileNameHasNoFolderDriveOrStream)
{
    for (const char* name : {"ENG.dll", "x", "ENG..dll", "...dll", "ENG dll"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    // A drive-relative path, an NTFS stream, folders, and the folders' own names.
    for (const char* name :
         {"C:ENG.dll", "ENG.dll:x", "ENG:x.dll", "sub\\ENG.dll", "sub/ENG.dll", "\\ENG.dll", "", ".", ".."})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}
