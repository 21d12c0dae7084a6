// Runs the real ConnSetup.exe from a fresh program directory of its own and
// drives its dialog by window messages.
#pragma once

#include "TempDir.h"

#include <windows.h>

#include <string>
#include <vector>

// The directory of the running test exe, with its backslash.
std::string TestExeDir();
// The folder named by a Unix path in environment variable name, as Wine's
// drive Z: shows it, with its backslash; "" when the variable is unset.
std::string DirFromEnvironment(const char* name);

// What a console program printed and returned.
struct ConsoleResult
{
    DWORD status = 0;
    std::string out;     // standard output, each CR LF read as LF
    std::string err;     // standard error, likewise
    std::string rawOut;  // standard output's bytes as written
};

class ProgramRun
{
public:
    // dirName and exeName may hold any bytes of the ANSI code page.
    explicit ProgramRun(const std::string& dirName = "cs-run", const std::string& exeName = "ConnSetup.exe");
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    const std::string& Dir() const { return m_dir.Path(); }
    void WriteFile(const std::string& name, const std::string& content) const;
    // Copies a file that lies beside the test exe (a language library).
    void CopyBeside(const std::string& name) const { CopyFrom(TestExeDir(), name); }
    // Copies dir + name (dir ends in a backslash) into the program directory.
    bool CopyFrom(const std::string& dir, const std::string& name) const;

    bool Start();
    // Waits for the connection dialog to be shown; false after timeoutMs.
    bool WaitForDialog(DWORD timeoutMs = 15000);
    // Waits for the process to end; false after timeoutMs.
    bool WaitForExit(DWORD timeoutMs = 10000);
    bool Running() const;
    DWORD ExitCode() const;
    DWORD ProcessId() const { return m_pi.dwProcessId; }
    DWORD ThreadId() const { return m_pi.dwThreadId; }

    HWND Dialog() const { return m_hDialog; }
    HWND Item(int id) const { return ::GetDlgItem(m_hDialog, id); }
    std::string Text(int id) const;
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    bool Visible(int id) const { return ::IsWindowVisible(Item(id)) != FALSE; }
    HWND Focus() const;
    // The device list's entries and selection.
    std::vector<std::string> Entries() const;
    int Selection() const;

    void Command(int id, int code = BN_CLICKED) const;
    // A key press as the dialog's modal loop receives it, on the focused control.
    void Key(UINT vk) const;
    void SetFocusTo(int id) const;

    // Runs connscan.exe (copied beside the program unless there) from the program
    // directory with the given arguments, and waits for it; a run that
    // outlasts timeoutMs is ended and says so in err. With outputClosed its
    // standard output is a pipe nobody reads, so that every write fails.
    ConsoleResult RunConsole(const std::string& args, DWORD timeoutMs = 20000, bool outputClosed = false) const;

private:
    TempDir m_dir;  // removed after the process is ended
    std::string m_exe;
    PROCESS_INFORMATION m_pi{};
    HWND m_hDialog = nullptr;
};
