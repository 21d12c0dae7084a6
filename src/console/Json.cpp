#include "Json.h"

#include "ConsoleText.h"

#include <windows.h>

#include <strsafe.h>

std::string JsonString(const std::string& text)
{
    return JsonString(WideFromAnsi(text));
}

std::string JsonString(const std::wstring& text)
{
    // Every character beyond ASCII as \uXXXX, of UTF-16 code units (a pair
    // beyond the BMP): the text reads the same in any code page a reader
    // decodes it in, as PowerShell 5.1 decodes in the console's.
    std::string quoted = "\"";
    for (const wchar_t c : text)
    {
        if (c == L'"' || c == L'\\')
        {
            quoted += '\\';
            quoted += static_cast<char>(c);
        }
        else if (c < 0x20 || c > 0x7e)
        {
            char escape[8];
            ::StringCchPrintfA(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            quoted += escape;
        }
        else
            quoted += static_cast<char>(c);
    }
    return quoted + "\"";
}
