#include "ProfileIni.h"

#include <cstring>

namespace
{
constexpr DWORD kSizeStep = 512;

std::unique_ptr<char[]> CopyOf(const char* text)
{
    const size_t length = text ? std::strlen(text) : 0;
    std::unique_ptr<char[]> copy(new char[length + 1]);
    if (length)
        std::memcpy(copy.get(), text, length);
    copy[length] = '\0';
    return copy;
}
}  // namespace

CProfileIni::CProfileIni(ProfileReaderFn reader)
    : m_pfnReader(reader)
{
}

void CProfileIni::SetPath(const char* path)
{
    if (path)
        m_pszPath = CopyOf(path);
    else if (m_pszPath)
    {
        m_pszPath[0] = '\0';
    }
}

std::unique_ptr<char[]> CProfileIni::ReadString(const char* section, const char* key, const char* defaultText) const
{
    // Without a file to read there is nothing but the default.
    if (!section || !key || !m_pszPath)
        return CopyOf(defaultText);

    const char* fallback = defaultText ? defaultText : "";
    // The reader cuts a value that does not fit and then reports size - 1
    // characters, so grow until at least one character is to spare.
    DWORD size = kSizeStep;
    for (;;)
    {
        std::unique_ptr<char[]> buffer(new char[size + 1]);
        const DWORD count = m_pfnReader(section, key, fallback, buffer.get(), size, m_pszPath.get());
        if (count + 1 < size)
            return buffer;
        size += kSizeStep;
    }
}

std::string CProfileIni::GetString(const char* section, const char* key, const char* defaultText) const
{
    return ReadString(section, key, defaultText).get();
}

bool CProfileIni::HasKeys(const char* section) const
{
    if (!section || !m_pszPath)
        return false;
    // With no key the reader lists the section's key names: a few characters
    // of the first one tell that there is one.
    char names[4] = {};
    return m_pfnReader(section, nullptr, "", names, sizeof names, m_pszPath.get()) > 0;
}
