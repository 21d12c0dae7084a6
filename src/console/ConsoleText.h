// Everything connscan prints. Its texts are in the ANSI code page, as the
// program reads them; a console shows another, the console's own.
#pragma once

#include "framework/AnsiText.h"

#include <string>

enum class Stream
{
    Out,
    Err
};

// ANSI text, as Windows' own console tools write it: to a console in UTF-16,
// redirected to a file or a pipe in the console's output code page (the OEM
// code page when there is no console). Line breaks are written as CR LF.
void Print(Stream stream, const std::string& text);
// UTF-16 text, as the same: nothing of it is lost to the ANSI code page on a console.
void Print(Stream stream, const std::wstring& text);
// Bytes as they are (JSON, which is ASCII); line breaks as CR LF.
void PrintBytes(Stream stream, const std::string& bytes);
// True once something could not be written to standard output.
bool OutputFailed();
// For a confirmation, whose loss is said but fails nothing.
void ForgetOutputFailure();
// text, in the ANSI code page, converted to codePage.
std::string FromAnsi(const std::string& text, unsigned codePage);
