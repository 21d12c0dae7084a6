#include "framework/SafeStart.h"
#include "console/ConnScan.h"
#include "framework/Thread.h"

#include "support/ProgramRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

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

TEST(SafeStart, ASystemLibraryComesFromTheSystemFolderAloneAndABoundedCallEndsInTime)
{
    // Without any restriction in force, and with a library of that name
    // loaded from beside the program: neither is taken for the system's.
    ASSERT_NE(nullptr, ::LoadLibraryA("TST.dll")) << "the program's folder was not searched to begin with";
    EXPECT_EQ(nullptr, LoadSystemLibrary("TST.dll")) << "a library beside the program was taken for a system one";
    const HMODULE hIpHelper = LoadSystemLibrary("iphlpapi.dll");
    ASSERT_NE(nullptr, hIpHelper);
    char path[MAX_PATH] = {}, system[MAX_PATH] = {};
    ::GetModuleFileNameA(hIpHelper, path, MAX_PATH);
    ::GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(0, _strnicmp(path, system, std::strlen(system))) << path;
    ::FreeLibrary(hIpHelper);

    // A call that does not return in time is left to itself; its state is its own.
    const auto release = std::shared_ptr<void>(::CreateEventA(nullptr, TRUE, FALSE, nullptr), ::CloseHandle);
    EXPECT_FALSE(RunWithin(50, [release] { ::WaitForSingleObject(release.get(), 10000); }));
    ::SetEvent(release.get());
    bool ran = false;
    EXPECT_TRUE(RunWithin(10000, [&ran] { ran = true; }));
    EXPECT_TRUE(ran);
}
