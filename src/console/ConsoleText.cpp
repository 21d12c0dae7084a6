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

std::string WithCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text)
    {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}
}  // namespace

std::wstring WideFromAnsi(const std::string& text)
{
    const int size = static_cast<int>(text.size());
    const int length = size ? ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0) : 0;
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
    return wide;
}

void PrintBytes(Stream stream, const std::string& bytes)
{
    const std::string text = WithCrLf(bytes);
    DWORD written = 0;
    Written(stream, text.empty() ||
                        (::WriteFile(Handle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                         written == text.size()));
}

void Print(Stream stream, const std::string& text)
{
    const HANDLE hOutput = Handle(stream);
    DWORD mode = 0;
    if (::GetConsoleMode(hOutput, &mode))
    {
        const std::wstring wide = WideFromAnsi(WithCrLf(text));
        DWORD written = 0;
        Written(stream, wide.empty() ||
                            ::WriteConsoleW(hOutput, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr));
        return;
    }
    const UINT codePage = ::GetConsoleOutputCP();
    PrintBytes(stream, FromAnsi(text, codePage ? codePage : ::GetOEMCP()));
}

bool OutputFailed()
{
    return g_bOutputFailed;
}

void ForgetOutputFailure()
{
    g_bOutputFailed = false;
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

std::string FromAnsi(const std::string& text, unsigned codePage)
{
    return FromWide(WideFromAnsi(text), codePage);
}
