#include "config/LangLibrary.h"

#include "support/Desktop.h"

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
