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
    // The system's words as they come (a German noun keeps its capital),
    // less the closing full stop and line break: they end a clause of a line.
    while (!sentence.empty() && (sentence.back() == '.' || static_cast<unsigned char>(sentence.back()) <= ' '))
        sentence.pop_back();
    return sentence.empty() ? said : said + ": " + sentence;
}

std::string AddressText(in_addr address)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
    return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
           std::to_string(bytes[3]);
}
