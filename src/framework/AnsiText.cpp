#include "AnsiText.h"

#include <windows.h>

std::wstring WideFromAnsi(const std::string& text)
{
    const int size = static_cast<int>(text.size());
    const int length = size ? ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0) : 0;
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string FromWide(const std::wstring& wide, unsigned codePage)
{
    const int size = static_cast<int>(wide.size());
    const int length = size ? ::WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr) : 0;
    std::string converted(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(codePage, 0, wide.data(), size, &converted[0], length, nullptr, nullptr);
    return converted;
}
