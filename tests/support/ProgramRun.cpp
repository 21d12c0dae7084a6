#include "ProgramRun.h"

#include "Desktop.h"
#include "res/resource.h"

#include <cstdlib>
#include <thread>

std::string TestExeDir()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string DirFromEnvironment(const char* name)
{
    const char* unixPath = std::getenv(name);
    if (!unixPath)
        return "";
    std::string dir = std::string("Z:") + unixPath + "\\";
    for (char& c : dir)
        if (c == '/')
            c = '\\';
    return dir;
}

ProgramRun::ProgramRun(const std::string& dirName, const std::string& exeName)
    : m_dir(dirName),
      m_exe(exeName)
{
    ::CopyFileA((TestExeDir() + "ConnSetup.exe").c_str(), (Dir() + m_exe).c_str(), FALSE);
}

ProgramRun::~ProgramRun()
{
    if (m_pi.hProcess)
    {
        if (Running())
        {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
        }
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
}

void ProgramRun::WriteFile(const std::string& name, const std::string& content) const
{
    m_dir.Write(name, content);
}

bool ProgramRun::CopyFrom(const std::string& dir, const std::string& name) const
{
    return ::CopyFileA((dir + name).c_str(), (Dir() + name).c_str(), FALSE) != FALSE;
}

bool ProgramRun::Start()
{
    std::string commandLine = "\"" + Dir() + m_exe + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    return ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, Dir().c_str(), &si, &m_pi) !=
           FALSE;
}

bool ProgramRun::WaitForDialog(DWORD timeoutMs)
{
    return WaitFor(
               [this]
               {
                   for (HWND hWnd : DialogWindowsOf(m_pi.dwProcessId))
                   {
                       if (::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, IDC_OK_BTN))
                       {
                           m_hDialog = hWnd;
                           return true;
                       }
                   }
                   return !Running();
               },
               timeoutMs) &&
           m_hDialog != nullptr;
}

bool ProgramRun::WaitForExit(DWORD timeoutMs)
{
    return ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

bool ProgramRun::Running() const
{
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD ProgramRun::ExitCode() const
{
    DWORD code = 0;
    ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

std::string ProgramRun::Text(int id) const
{
    return TextOf(Item(id));
}

HWND ProgramRun::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(m_pi.dwThreadId, &info);
    return info.hwndFocus;
}

std::vector<std::string> ProgramRun::Entries() const
{
    std::vector<std::string> entries;
    const HWND hList = Item(IDC_DEVICE_LIST);
    const int count = static_cast<int>(::SendMessageW(hList, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        // Asked for in UTF-16: the ANSI form comes back as UTF-16 across processes under Wine.
        wchar_t text[256] = {};
        const int length = static_cast<int>(::SendMessageW(hList, CB_GETLBTEXTLEN, i, 0));
        if (length < 0 || length >= 256)
            return entries;
        ::SendMessageW(hList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        char utf8[1024] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        entries.push_back(utf8);
    }
    return entries;
}

int ProgramRun::Selection() const
{
    return static_cast<int>(::SendMessageW(Item(IDC_DEVICE_LIST), CB_GETCURSEL, 0, 0));
}

void ProgramRun::Command(int id, int code) const
{
    ::PostMessageA(m_hDialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
}

void ProgramRun::Key(UINT vk) const
{
    HWND target = Focus();
    if (!target)
        target = m_hDialog;
    ::PostMessageA(target, WM_KEYDOWN, vk, 1);
    ::PostMessageA(target, WM_KEYUP, vk, 0xC0000001);
}

void ProgramRun::SetFocusTo(int id) const
{
    ::SendMessageA(m_hDialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

namespace
{
// Collects everything written to a pipe until its last writer closes it.
// A read of no bytes is no end: a writer's empty write gives one, and
// stopping there lost the rest of a program's output now and then.
void Drain(HANDLE hRead, std::string& into, std::string* raw = nullptr)
{
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(hRead, buffer, sizeof buffer, &got, nullptr))
        into.append(buffer, got);
    ::CloseHandle(hRead);
    if (raw)
        *raw = into;
    std::string lines;
    for (size_t i = 0; i < into.size(); ++i)
        if (!(into[i] == '\r' && i + 1 < into.size() && into[i + 1] == '\n'))
            lines += into[i];
    into.swap(lines);
}
}  // namespace

ConsoleResult ProgramRun::RunConsole(const std::string& args, DWORD timeoutMs, bool outputClosed) const
{
    ConsoleResult result;
    // Unless one is there already, as the package's is.
    ::CopyFileA((TestExeDir() + "connscan.exe").c_str(), (Dir() + "connscan.exe").c_str(), TRUE);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!::CreatePipe(&outRead, &outWrite, &inherit, 0) || !::CreatePipe(&errRead, &errWrite, &inherit, 0))
    {
        result.err = "no pipes";
        return result;
    }
    ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    if (outputClosed)
    {
        ::CloseHandle(outRead);
        outRead = nullptr;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    std::string commandLine = "\"" + Dir() + "connscan.exe\" " + args;
    // Without a console, rather than with a hidden one: its output goes to
    // the pipes alone, and no console host comes and goes with every run.
    const bool started = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                          Dir().c_str(), &si, &pi) != FALSE;
    ::CloseHandle(outWrite);
    ::CloseHandle(errWrite);
    std::thread outReader(
        [&]
        {
            if (outRead)
                Drain(outRead, result.out, &result.rawOut);
        });
    std::thread errReader([&] { Drain(errRead, result.err); });
    bool timedOut = false;
    bool statusRead = true;
    if (started)
    {
        timedOut = ::WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0;
        if (timedOut)
        {
            ::TerminateProcess(pi.hProcess, 99);
            ::WaitForSingleObject(pi.hProcess, 5000);
        }
        statusRead = ::GetExitCodeProcess(pi.hProcess, &result.status) != FALSE;
        if (!statusRead)
            result.status = ~0u;  // never taken for a status a test expects
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    }
    outReader.join();
    errReader.join();
    if (!started)
        result.err = "connscan.exe did not start";
    else if (timedOut)
        result.err += "connscan.exe " + args + " did not end within " + std::to_string(timeoutMs) + " ms";
    else if (!statusRead)
        result.err += "connscan.exe " + args + " left no exit status";
    return result;
}
