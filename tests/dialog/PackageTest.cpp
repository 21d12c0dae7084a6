#include "DialogFixture.h"

#include "support/Lines.h"

#include <fstream>
#include <iterator>

// The files of the unzipped distribution package, run as they come.
TEST(Package, RunsFromItsFilesWithTheSampleLibrary)
{
    SKIP_IN_SELFTEST(kUsesBuiltInKey);
    const std::string dir = DirFromEnvironment("CONNSETUP_PACKAGE_DIR");
    if (dir.empty())
        GTEST_SKIP() << "tools/test unzips the package and runs this with CONNSETUP_PACKAGE_DIR";

    DeleteKeyTree("SOFTWARE\\ORVEL");
    ProgramRun run;
    for (const char* name :
         {"ConnSetup.exe", "connscan.exe", "ENG.dll", "DEU.dll", "FRA.dll", "JPN.dll", "twain.ini", "INSTALL.txt"})
        ASSERT_TRUE(run.CopyFrom(dir, name)) << name << " is missing from the package";
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForDialog());
    EXPECT_EQ("QX7S&QN8S", TextOf(run.Dialog()));
    EXPECT_EQ("Select device:", run.Text(kLabel));
    EXPECT_EQ("Discover", run.Text(kDiscover));
    run.Command(kCancel);
    ASSERT_TRUE(run.WaitForExit());
    EXPECT_EQ(static_cast<DWORD>(IDNO), run.ExitCode());
    const ConsoleResult shown = run.RunConsole("show");  // the package's own connscan.exe
    EXPECT_EQ(0u, shown.status) << shown.err;
    EXPECT_NE(std::string::npos, shown.out.find("model    QX7S&QN8S\n"));
    // Text files as Windows' own editors read them: every line ends in CR LF.
    for (const char* name : {"twain.ini", "INSTALL.txt"})
    {
        std::ifstream file(dir + name, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const LineEnds ends = CountLineEnds(text);
        EXPECT_LT(3u, ends.lines) << name;
        EXPECT_EQ(ends.lines, ends.crlf) << name;
    }
    DeleteKeyTree("SOFTWARE\\ORVEL");
}
