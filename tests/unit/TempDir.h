// A directory of its own for one test, removed with what it holds.
#pragma once

#include "support/Windows.h"

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
    ~TempDir() { RemoveDirectoryWithFiles(m_path); }
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
