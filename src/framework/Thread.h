// Worker threads: normal priority, default stack, running at once.
#pragma once

#include <windows.h>

using ThreadProc = unsigned(__stdcall*)(void* pParam);

// Returns the thread's handle, which the caller closes, or null.
HANDLE AfxBeginThread(ThreadProc pfnThreadProc, void* pParam);
