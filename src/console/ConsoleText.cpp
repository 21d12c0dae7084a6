#include "ConsoleText.h"

#include <windows.h>

namespace
{
bool g_bOutputFailed = false;

HANDLE Handle(Stream stream)
{
    return ::GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

void Written(Stream stream, bool written)
{
    if (!written && stream == Stream::Out)
        g_bOutputFailed = true;
}

// text with each line break as CR LF.
template <typename Text>
Text WithCrLf(const Text& text)
{
    Text out;
    out.reserve(text.size() + text.size() / 16);
    for (const auto c : text)
    {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
}  // namespace

void PrintBytes(Stream stream, const std::string& bytes)
{
    const std::string text = WithCrLf(bytes);
    DWORD written = 0;
    Written(stream, text.empty() ||
                        (::WriteFile(Handle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                         written == text.size()));
}

void Print(Stream stream, const std::wstring& text)
{
    const HANDLE hOutput = Handle(stream);
    DWORD mode = 0;
    if (::GetConsoleMode(hOutput, &mode))
    {
        const std::wstring wide = WithCrLf(text);
        DWORD written = 0;
        Written(stream, wide.empty() ||
                            ::WriteConsoleW(hOutput, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr));
        return;
    }
    const UINT codePage = ::GetConsoleOutputCP();
    PrintBytes(stream, FromWide(text, codePage ? codePage : ::GetOEMCP()));
}

void Print(Stream stream, const std::string& text)
{
    Print(stream, WideFromAnsi(text));
}

bool OutputFailed()
{
    return g_bOutputFailed;
}

void ForgetOutputFailure()
{
    g_bOutputFailed = false;
}

std::string FromAnsi(const std::string& text, unsigned codePage)
{
    return FromWide(WideFromAnsi(text), codePage);
}
