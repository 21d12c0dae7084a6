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
