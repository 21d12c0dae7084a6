#include "Sockets.h"

bool AfxSocketInit(SocketsStartupFn startup, SocketsCleanupFn cleanup)
{
    WSADATA data{};
    if (startup(MAKEWORD(1, 1), &data) != 0)
        return false;
    if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1)
    {
        cleanup();
        return false;
    }
    return true;
}

std::string SocketErrorText(int error)
{
    std::string said = "Windows Sockets error " + std::to_string(error);
    char* text = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string sentence = length && text ? std::string(text, length) : "";
    if (text)
        ::LocalFree(text);
    // One clause of a line: no closing full stop or line break, and a
    // sentence's capital only where a plain word follows ("A socket", not "TCP").
    while (!sentence.empty() && (sentence.back() == '.' || static_cast<unsigned char>(sentence.back()) <= ' '))
        sentence.pop_back();
    if (sentence.size() > 1 && sentence[0] >= 'A' && sentence[0] <= 'Z' &&
        ((sentence[1] >= 'a' && sentence[1] <= 'z') || sentence[1] == ' '))
        sentence[0] = static_cast<char>(sentence[0] - 'A' + 'a');
    return sentence.empty() ? said : said + ": " + sentence;
}
