#include "Thread.h"

#include <process.h>

#include <memory>

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

namespace
{
unsigned __stdcall RunWork(void* pParam)
{
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(pParam));
    (*work)();
    return 0;
}
}  // namespace

bool RunWithin(DWORD timeoutMs, std::function<void()> work)
{
    auto* owned = new std::function<void()>(std::move(work));
    const HANDLE hThread = AfxBeginThread(RunWork, owned);
    if (!hThread)
    {
        delete owned;
        return false;
    }
    const bool ended = ::WaitForSingleObject(hThread, timeoutMs) == WAIT_OBJECT_0;
    ::CloseHandle(hThread);
    return ended;
}
