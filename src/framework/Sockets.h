// Windows Sockets start-up for the whole process.
#pragma once

#include <winsock.h>

using SocketsStartupFn = int(PASCAL*)(WORD wVersionRequested, LPWSADATA lpWSAData);
using SocketsCleanupFn = int(PASCAL*)();

// Asks for version 1.1 and succeeds only when exactly 1.1 is granted. A layer
// that granted another version is released again; a failed request is not.
// The socket layer is otherwise left to the end of the process.
bool AfxSocketInit(SocketsStartupFn startup = ::WSAStartup, SocketsCleanupFn cleanup = ::WSACleanup);
