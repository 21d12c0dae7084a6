#include "Thread.h"

#include <process.h>

HANDLE AfxBeginThread(ThreadProc pfnThreadProc, void* pParam)
{
    // _beginthreadex, not CreateThread, so that the C runtime is set up for the thread.
    return reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, pfnThreadProc, pParam, 0, nullptr));
}
