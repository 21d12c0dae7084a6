#include "SafeStart.h"

#include <string>

namespace
{
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD flags);

// Looked up, not imported, so that older systems still start: Windows 7
// has it only with KB2533623, and refuses the LOAD_LIBRARY_SEARCH flags without it.
SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesOrNull()
{
    return reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
}
}  // namespace

void RestrictDllSearchToSystem()
{
    if (const SetDefaultDllDirectoriesFn setDirectories = SetDefaultDllDirectoriesOrNull())
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name)
{
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::string path = std::string(folder) + "\\" + name;
    return ::LoadLibraryExA(path.c_str(), nullptr, SetDefaultDllDirectoriesOrNull() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0);
}
