#include "LangLibrary.h"

#include "framework/ProgramDir.h"

#include <cstring>

char CLangLibrary::s_szText[CLangLibrary::kTextSize];

bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name.find_first_of("\\/:") == std::string::npos && name != "." && name != "..";
}

CLangLibrary::~CLangLibrary()
{
    Unload();
}

std::string CLangLibrary::GetModulePath() const
{
    return GetModuleFilePath();
}

bool CLangLibrary::Load()
{
    const std::string dir = DirectoryOf(GetModulePath());
    if (m_hLib)
        return true;
    // Read as data: its texts are all the program wants, and its code never runs.
    if (IsPlainFileName(m_strLibName))
        m_hLib = ::LoadLibraryExA((dir + m_strLibName).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!m_hLib)
    {
        ::MessageBoxA(nullptr, "Can't load resource file.", "Error", MB_OK | MB_ICONERROR);
        ::MessageBoxA(nullptr, m_strLibName.c_str(), "Error", MB_OK | MB_ICONERROR);
        return false;
    }
    return true;
}

void CLangLibrary::Unload()
{
    if (m_hLib)
    {
        ::FreeLibrary(m_hLib);
        m_hLib = nullptr;
    }
}

const char* CLangLibrary::LoadText(UINT id)
{
    if (!m_hLib)
        Load();
    std::memset(s_szText, 0, sizeof s_szText);
    // Without a library this reads the program's own table, which has none of these numbers.
    ::LoadStringA(m_hLib, id, s_szText, kTextSize);
    return s_szText;
}

std::string CLangLibrary::GetText(UINT id)
{
    if (!m_hLib)
        Load();
    m_strText = LoadText(id);
    return m_strText;
}

std::string CLangLibrary::GetNumberedMessage(UINT id)
{
    if (!m_hLib)
        Load();
    m_strText = std::to_string(id) + " :\n\n" + LoadText(id);
    return m_strText;
}
