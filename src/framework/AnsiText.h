// Text in the ANSI code page, as the program reads and writes it, and UTF-16.
#pragma once

#include <string>

// text, in the ANSI code page, converted to UTF-16.
std::wstring WideFromAnsi(const std::string& text);
// UTF-16 text converted to codePage (CP_ACP among them).
std::string FromWide(const std::wstring& wide, unsigned codePage);
