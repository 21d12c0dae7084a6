#include "DialogFixture.h"

// The files of the unzipped distribution package, run as they come.
TEST(Package, RunsFromItsFilesWithTheSampleLibrary)
{
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
    DeleteKeyTree("SOFTWARE\\ORVEL");
}
