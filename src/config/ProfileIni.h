// Reads values of a Windows profile (INI) file, of any length.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

using ProfileReaderFn = DWORD(WINAPI*)(LPCSTR section, LPCSTR key, LPCSTR defaultText, LPSTR buffer, DWORD size,
                                       LPCSTR fileName);

class CProfileIni
{
public:
    // reader is the system's profile reader unless a test watches the calls.
    explicit CProfileIni(ProfileReaderFn reader = ::GetPrivateProfileStringA);
    virtual ~CProfileIni() = default;
    CProfileIni(const CProfileIni&) = delete;
    CProfileIni& operator=(const CProfileIni&) = delete;

    // A null path empties the path already held, if any.
    void SetPath(const char* path);
    // The value, or defaultText (or "") when the file, section or key is missing.
    std::unique_ptr<char[]> ReadString(const char* section, const char* key, const char* defaultText) const;
    std::string GetString(const char* section, const char* key, const char* defaultText) const;
    // Whether the file has section, with at least one key in it.
    bool HasKeys(const char* section) const;

private:
    std::unique_ptr<char[]> m_pszPath;  // null until a path is set
    ProfileReaderFn m_pfnReader;
};
