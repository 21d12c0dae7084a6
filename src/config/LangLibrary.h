// Numbered texts from the per-country language library: a resource-only
// DLL in the program directory, loaded at the first request.
#pragma once

#include <windows.h>

#include <string>

// A file name in the program directory, not a path to anywhere else: no
// folder, drive or stream separator, and not a folder's own name.
bool IsPlainFileName(const std::string& name);

class CLangLibrary
{
public:
    static constexpr int kTextSize = 512;

    CLangLibrary() = default;
    virtual ~CLangLibrary();
    CLangLibrary(const CLangLibrary&) = delete;
    CLangLibrary& operator=(const CLangLibrary&) = delete;

    // Takes effect at the next load; a loaded library stays the one in use.
    void SetLibraryName(const std::string& name) { m_strLibName = name; }
    // The full path of the running program's file.
    std::string GetModulePath() const;

    // Loads the library beside the program as data (its code never runs); a
    // name that is not a plain file name loads nothing. A failure is
    // reported to the user every time, never remembered.
    bool Load();
    void Unload();

    // Fills the process-wide text buffer; valid until the next LoadText of
    // any object. Empty when the library or the text is missing.
    const char* LoadText(UINT id);
    std::string GetText(UINT id);
    // "<id> :", two line breaks, then the text.
    std::string GetNumberedMessage(UINT id);

private:
    std::string m_strText;
    std::string m_strLibName;
    HMODULE m_hLib = nullptr;

    static char s_szText[kTextSize];
};
