#include "Thread.h"

#include <process.h>

namespace
{
// The thread's handle, or null.
HANDLE AfxBeginThread(ThreadProc pfnThreadProc, void* pParam)
{
    // _beginthreadex, not CreateThread, so that the C runtime is set up for the thread.
    return reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, pfnThreadProc, pParam, 0, nullptr));
}
}  // namespace

bool CThreadHandle::Begin(ThreadProc pfnThreadProc, void* pParam)
{
    Join();
    m_hThread = AfxBeginThread(pfnThreadProc, pParam);
    return m_hThread != nullptr;
}

void CThreadHandle::Join()
{
    if (!m_hThread)
        return;
    ::WaitForSingleObject(m_hThread, INFINITE);
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
}
