// JSON text for the console companion's --json output.
#pragma once

#include <string>

// text, in the ANSI code page, as a quoted JSON string in ASCII.
std::string JsonString(const std::string& text);
// UTF-16 text, as the same.
std::string JsonString(const std::wstring& text);
