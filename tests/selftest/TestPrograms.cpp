#include "TestPrograms.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{
// A result line's message, its line breaks and backslashes restored.
std::string Unescape(const std::string& field)
{
    std::string text;
    for (size_t i = 0; i < field.size(); ++i)
    {
        if (field[i] == '\\' && i + 1 < field.size())
            text += field[++i] == 'n' ? '\n' : field[i];
        else
            text += field[i];
    }
    return text;
}

std::string LastLines(const std::string& path, size_t count)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    std::string text;
    for (size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        text += lines[i] + "\n";
    return text;
}

// "PASS|FAIL|SKIP\tNAME\tMS\tMESSAGES", one per line.
std::vector<Outcome> ReadResults(const std::string& path, const std::string& group)
{
    std::vector<Outcome> outcomes;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);)
    {
        std::istringstream fields(line);
        std::string word, name, ms, messages;
        std::getline(fields, word, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, ms, '\t');
        std::getline(fields, messages);
        Outcome o;
        o.kind = word == "PASS" ? Outcome::Pass : word == "SKIP" ? Outcome::Skip : Outcome::Fail;
        o.group = group;
        o.name = name;
        o.detail = Unescape(messages);
        o.seconds = std::atof(ms.c_str()) / 1000;
        outcomes.push_back(o);
    }
    return outcomes;
}

// Runs commandLine from dir, its output appended to log, for boundMs at
// most: then it is ended with every program it started. True when it
// ended by itself, with its status; false with the system's error when it
// could not start.
bool RunBounded(const std::string& dir, std::string commandLine, const std::string& log, DWORD boundMs, DWORD& status)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE hLog = ::CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hLog;
    si.hStdError = hLog;
    PROCESS_INFORMATION pi{};
    const bool started =
        hLog != INVALID_HANDLE_VALUE && ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                                                         CREATE_SUSPENDED, nullptr, dir.c_str(), &si, &pi);
    status = started ? 0 : ::GetLastError();  // why it could not start
    if (hLog != INVALID_HANDLE_VALUE)
        ::CloseHandle(hLog);
    if (!started)
        return false;
    // In a job, so that the programs it starts end with it; where the job
    // cannot be had (Windows 7 inside another job), the program alone.
    const HANDLE hJob = ::CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    const bool inJob = hJob &&
                       ::SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
                       ::AssignProcessToJobObject(hJob, pi.hProcess);
    ::ResumeThread(pi.hThread);
    const bool ended = ::WaitForSingleObject(pi.hProcess, boundMs) == WAIT_OBJECT_0;
    if (!ended)
    {
        if (!inJob || !::TerminateJobObject(hJob, 99))
            ::TerminateProcess(pi.hProcess, 99);
        ::WaitForSingleObject(pi.hProcess, 5000);
    }
    ::GetExitCodeProcess(pi.hProcess, &status);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    if (hJob)
        ::CloseHandle(hJob);
    return ended;
}

// The program's tests, "Suite.Name", as --gtest_list_tests gives them.
std::vector<std::string> ListTests(const std::string& dir, const std::string& exe, DWORD boundMs, DWORD& status)
{
    const std::string list = dir + exe + ".list";
    ::DeleteFileA(list.c_str());
    std::vector<std::string> names;
    if (!RunBounded(dir, "\"" + dir + exe + "\" --gtest_list_tests", list, boundMs, status) || status != 0)
        return names;
    std::ifstream file(list, std::ios::binary);
    std::string suite;
    for (std::string line; std::getline(file, line);)
    {
        line = line.substr(0, line.find_first_of("#\r"));
        line.erase(line.find_last_not_of(' ') + 1);
        if (line.empty())
            continue;
        if (line[0] != ' ')
            suite = line;
        else
            names.push_back(suite + line.substr(line.find_first_not_of(' ')));
    }
    return names;
}
}  // namespace

std::vector<Outcome> RunTestProgram(const std::string& dir, const std::string& exe, DWORD boundMs)
{
    const DWORD started = ::GetTickCount();
    const std::string group = exe.substr(0, exe.rfind('.'));
    const std::string results = dir + exe + ".results";
    const std::string log = dir + exe + ".log";
    ::DeleteFileA(results.c_str());
    ::DeleteFileA(log.c_str());
    ::SetEnvironmentVariableA("CONNSETUP_SELFTEST_RESULTS", results.c_str());

    std::vector<Outcome> outcomes;
    Outcome failure;
    failure.group = group;
    DWORD status = 0;
    const std::vector<std::string> names = ListTests(dir, exe, boundMs < 60000 ? boundMs : 60000, status);
    if (names.empty())
    {
        failure.name = exe;
        failure.detail = "could not list its tests (status " + std::to_string(status) + ")";
        return {failure};
    }
    // Each test in a process of its own, as CTest runs them: what one test
    // does to its process (the DLL search order, say) stays with it.
    for (const std::string& name : names)
    {
        const DWORD used = ::GetTickCount() - started;
        const bool ended = used < boundMs &&
                           RunBounded(dir, "\"" + dir + exe + "\" --gtest_filter=" + name, log, boundMs - used, status);
        std::vector<Outcome> ran = ReadResults(results, group);
        ::DeleteFileA(results.c_str());
        failure.name = name;
        if (!ended)
            failure.detail =
                used < boundMs
                    ? exe + " did not end within " + std::to_string(boundMs / 1000) + " s and was ended in this test"
                    : "not run: " + exe + "'s " + std::to_string(boundMs / 1000) + " s were over";
        else if (ran.empty() || (status != 0 && ran.back().kind != Outcome::Fail))
            failure.detail = exe + " ended with status " + std::to_string(status) +
                             " in this test; its output ended:\n" + LastLines(log, 8);
        else
        {
            outcomes.push_back(ran.back());
            continue;
        }
        outcomes.push_back(failure);
    }
    return outcomes;
}
