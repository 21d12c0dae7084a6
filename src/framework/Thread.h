// Worker threads: normal priority, default stack, running at once.
#pragma once

#include <windows.h>

#include <functional>

using ThreadProc = unsigned(__stdcall*)(void* pParam);

// Owns a thread it started: Join waits for the thread's end and closes its
// handle, and so does the destructor, so that nothing the thread uses can
// go before the thread itself.
class CThreadHandle
{
public:
    CThreadHandle() = default;
    ~CThreadHandle() { Join(); }
    CThreadHandle(const CThreadHandle&) = delete;
    CThreadHandle& operator=(const CThreadHandle&) = delete;

    // Joins a thread still held, then starts one; false when it could not start.
    bool Begin(ThreadProc pfnThreadProc, void* pParam);
    void Join();

private:
    HANDLE m_hThread = nullptr;
};

// Runs work on a thread of its own and waits for it at most timeoutMs:
// true when it ended in time. A call into the system that may never return
// (a service that does not answer) cannot hold its caller. Past the time
// the thread goes on alone, to the end of the process at the latest: work
// must own what it touches (through a shared_ptr, say).
bool RunWithin(DWORD timeoutMs, std::function<void()> work);
