#include "Json.h"

#include <windows.h>

#include <strsafe.h>

std::string JsonString(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                                 static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(wideLength > 0 ? wideLength : 0));
    std::string utf8(wide.size() * 3, '\0');
    const int utf8Length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0],
                                                 static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(static_cast<size_t>(utf8Length > 0 ? utf8Length : 0));

    std::string quoted = "\"";
    for (const char c : utf8)
    {
        if (c == '"' || c == '\\')
        {
            quoted += '\\';
            quoted += c;
        }
        else if (static_cast<unsigned char>(c) < 0x20)
        {
            char escape[8];
            ::StringCchPrintfA(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        }
        else
            quoted += c;
    }
    return quoted + "\"";
}
