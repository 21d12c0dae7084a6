#include "Json.h"

#include "ConsoleText.h"

#include <windows.h>

#include <strsafe.h>

std::string JsonString(const std::string& text)
{
    const std::string utf8 = FromAnsi(text, CP_UTF8);

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
