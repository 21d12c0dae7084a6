// A directory of its own for one test, removed with what it holds.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>

class TempDir
{
public:
    TempDir()
    {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        static int s_serial = 0;
        m_path = std::string(temp) + "cs-unit-" + std::to_string(::GetCurrentProcessId()) + "-" +
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

    std::string Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(m_path + name, std::ios::binary) << content;
        return m_path + name;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
