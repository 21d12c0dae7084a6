// The self-test: on the PC it runs on, the project's tests that need no
// test rig, and checks of the Windows behaviours the program relies on,
// with a report to paste into a ticket (selftest-report.txt) and the same
// results as JUnit XML (selftest-results.xml).
//
//   selftest.exe        (selftest.cmd runs it from its own folder)
//
// Stores nothing outside HKEY_CURRENT_USER\SOFTWARE\ConnSetup-test, which
// it removes at the end, and its own temporary folder. Exit status 0 only
// when nothing failed; 2 when it may not run here.
#include "Checks.h"
#include "Report.h"
#include "TestPrograms.h"

#include "support/Network.h"
#include "support/ProgramRun.h"
#include "support/Registry.h"
#include "support/TestKey.h"
#include "version.h"

#include <winsock2.h>

#include <cstdio>
#include <iomanip>
#include <sstream>

namespace
{
// The whole run ends within 10 minutes; the test programs get what the
// checks leave of 9, each at most its own bound.
constexpr DWORD kRunMs = 9 * 60 * 1000;
const struct
{
    const char* exe;
    DWORD boundMs;
} kPrograms[] = {{"unit_tests.exe", 120000}, {"dialog_tests.exe", 300000}, {"net_tests.exe", 60000}};

std::string Environment(const char* name)
{
    char value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : "";
}

void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    const HANDLE hFind = ::FindFirstFileA((dir + "*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + name + "\\");
            else
                ::DeleteFileA((dir + name).c_str());
        } while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(dir.c_str());
}

// The programs and libraries of dir, copied to bin: the tests write beside
// their programs, and the self-test's own folder may be read-only.
bool CopyPrograms(const std::string& dir, const std::string& bin)
{
    bool copied = true;
    for (const char* pattern : {"*.exe", "*.dll"})
    {
        WIN32_FIND_DATAA fd;
        const HANDLE hFind = ::FindFirstFileA((dir + pattern).c_str(), &fd);
        if (hFind == INVALID_HANDLE_VALUE)
            return false;
        do
            copied = ::CopyFileA((dir + fd.cFileName).c_str(), (bin + fd.cFileName).c_str(), FALSE) && copied;
        while (::FindNextFileA(hFind, &fd));
        ::FindClose(hFind);
    }
    return copied;
}

// Windows' own version, which GetVersionEx hides from a program that does
// not name it in its manifest.
std::string WindowsVersion()
{
    using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<GetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!getVersion || getVersion(&info) != 0)
        return "Windows, version not known";
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    const bool program64 = sizeof(void*) == 8;
    using WineVersionFn = const char*(CDECL*)();
    const auto wineVersion = reinterpret_cast<WineVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + " build " +
           std::to_string(info.dwBuildNumber) + ", " + (program64 || wow64 ? "64" : "32") + "-bit Windows, " +
           (program64 ? "64" : "32") + "-bit self-test" +
           (wineVersion ? std::string(", on Wine ") + wineVersion() : "");
}

std::string Now()
{
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    std::ostringstream text;
    text << std::setfill('0') << t.wYear << '-' << std::setw(2) << t.wMonth << '-' << std::setw(2) << t.wDay << ' '
         << std::setw(2) << t.wHour << ':' << std::setw(2) << t.wMinute << ':' << std::setw(2) << t.wSecond;
    return text.str();
}

// The run folder when a file can be made there, else %TEMP%.
std::string ReportFolder(const std::string& dir, const std::string& temp)
{
    const std::string probe = dir + "selftest-report.txt";
    const HANDLE hFile =
        ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return temp;
    ::CloseHandle(hFile);
    return dir;
}
}  // namespace

int main()
{
    const DWORD started = ::GetTickCount();
    const std::string dir = TestExeDir();
    WSADATA data;
    std::string why;
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0 || !SelfTestMaySend(why))
    {
        std::fprintf(stderr, "selftest: refusing to run: %s\n", why.c_str());
        return 2;
    }
    const std::string temp = Environment("TEMP").empty() ? dir : Environment("TEMP") + "\\";
    const std::string work = temp + "ConnSetup-selftest-" + std::to_string(::GetCurrentProcessId()) + "\\";
    const std::string bin = work + "bin\\";
    ::CreateDirectoryA(work.c_str(), nullptr);
    ::CreateDirectoryA(bin.c_str(), nullptr);
    ::CreateDirectoryA((work + "tmp").c_str(), nullptr);
    // Every temporary file of the tests and the checks lands in the work folder.
    ::SetEnvironmentVariableA("TMP", (work + "tmp").c_str());
    ::SetEnvironmentVariableA("TEMP", (work + "tmp").c_str());
    ::SetEnvironmentVariableA("CONNSETUP_SELFTEST", "1");
    DeleteKeyTree("SOFTWARE\\" TEST_KEY_ROOT);

    const std::string header = "ConnSetup self-test " CONNSETUP_VERSION_TEXT "\n" + WindowsVersion() +
                               "\nfolder: " + dir + "\nstarted: " + Now();
    std::printf("%s\n\n", header.c_str());
    CReport report;
    std::printf("platform checks...\n");
    report.Add(CheckPlatform(dir));
    report.Add(CheckNetwork(dir, work));
    if (!CopyPrograms(dir, bin))
    {
        Outcome copy;
        copy.group = "selftest";
        copy.name = "copy the test programs";
        copy.detail = "could not copy the programs of " + dir + " to " + bin;
        report.Add(copy);
    }
    else
        for (const auto& program : kPrograms)
        {
            const DWORD used = ::GetTickCount() - started;
            const DWORD left = used < kRunMs ? kRunMs - used : 0;
            std::printf("%s...\n", program.exe);
            report.Add(RunTestProgram(bin, program.exe, left < program.boundMs ? left : program.boundMs));
        }
    DeleteKeyTree("SOFTWARE\\" TEST_KEY_ROOT);
    RemoveTree(work);

    const std::string out = ReportFolder(dir, temp);
    const bool written =
        report.WriteText(out + "selftest-report.txt", header) && report.WriteJUnit(out + "selftest-results.xml");
    std::printf("\n%s\n", report.Summary().c_str());
    if (!written)
    {
        std::fprintf(stderr, "selftest: the report could not be written in %s\n", out.c_str());
        return 1;
    }
    std::printf("report: %sselftest-report.txt\nJUnit:  %sselftest-results.xml\n", out.c_str(), out.c_str());
    return report.Failed() ? 1 : 0;
}
