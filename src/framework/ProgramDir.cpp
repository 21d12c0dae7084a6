#include "ProgramDir.h"

std::string GetModuleFilePath()
{
    // One byte kept back: older systems leave a cut path unterminated.
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    return path;
}

std::string DirectoryOf(const std::string& path, UINT codePage)
{
    const char* begin = path.c_str();
    const char* lastSlash = nullptr;
    for (const char* p = begin; *p != '\0'; p = ::CharNextExA(static_cast<WORD>(codePage), p, 0))
    {
        if (*p == '\\')
            lastSlash = p;
    }
    return lastSlash ? path.substr(0, static_cast<size_t>(lastSlash - begin) + 1) : std::string();
}
