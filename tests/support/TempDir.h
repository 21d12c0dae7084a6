// A directory of its own for one test or one program run, removed with the
// files it holds.
#pragma once

#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>

class TempDir
{
public:
    // namePrefix may hold any bytes of the ANSI code page.
    explicit TempDir(const std::string& namePrefix = "cs-unit")
    {
        static std::atomic<int> s_serial{0};
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        m_path = std::string(temp) + namePrefix + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(++s_serial) + "\\";
        ::CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~TempDir()
    {
        WIN32_FIND_DATAA fd;
        HANDLE hFind = ::FindFirstFileA((m_path + "*").c_str(), &fd);
        if (hFind != INVALID_HANDLE_VALUE)
        {
            do
                ::DeleteFileA((m_path + fd.cFileName).c_str());
            while (::FindNextFileA(hFind, &fd));
            ::FindClose(hFind);
        }
        ::RemoveDirectoryA(m_path.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes name in the directory and returns its full path.
    std::string Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(m_path + name, std::ios::binary) << content;
        return m_path + name;
    }
    // With its backslash.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
