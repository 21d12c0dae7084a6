#include "framework/SafeStart.h"
#include "console/ConnScan.h"

#include "support/ProgramRun.h"

#include <gtest/gtest.h>

// Each test runs in a process of its own, so the restriction stays here.
TEST(SafeStart, LibrariesByNameComeOnlyFromTheSystemFolderAfterwards)
{
    // TST.dll (no code) lies beside this program, where a planted library would lie.
    const HMODULE before = ::LoadLibraryA("TST.dll");
    ASSERT_NE(nullptr, before) << "the program's folder was not searched to begin with";
    ::FreeLibrary(before);

    RestrictDllSearchToSystem();
    EXPECT_EQ(nullptr, ::LoadLibraryA("TST.dll")) << "the program's folder is still searched";
    const HMODULE byPath = ::LoadLibraryA((TestExeDir() + "TST.dll").c_str());
    EXPECT_NE(nullptr, byPath) << "a full path is no longer honoured";
    if (byPath)
        ::FreeLibrary(byPath);
    EXPECT_NE(nullptr, ::LoadLibraryA("imagehlp.dll")) << "the system folder is no longer searched";
}

TEST(SafeStart, TheConsoleProgramsStartRestrictsTheSearchToo)
{
    const HMODULE before = ::LoadLibraryA("TST.dll");
    ASSERT_NE(nullptr, before) << "the program's folder was not searched to begin with";
    ::FreeLibrary(before);

    char program[] = "connscan";
    char version[] = "--version";
    char* argv[] = {program, version, nullptr};
    EXPECT_EQ(0, ConnScanMain(2, argv));
    EXPECT_EQ(nullptr, ::LoadLibraryA("TST.dll")) << "connscan's start leaves the program's folder searched";
}
