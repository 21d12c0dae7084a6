#include "Desktop.h"

#include <cstdint>
#include <cstdio>

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs, DWORD pollMs)
{
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        if (pred())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(pollMs);
    }
}

Watchdog::Watchdog(DWORD timeoutMs, std::string what)
    : m_hDisarmed(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_thread(
          [this, timeoutMs, what]
          {
              if (::WaitForSingleObject(m_hDisarmed, timeoutMs) == WAIT_OBJECT_0)
                  return;
              std::fprintf(stderr, "timed out after %lu ms: %s\n", static_cast<unsigned long>(timeoutMs), what.c_str());
              std::fflush(stderr);
              ::ExitProcess(3);
          })
{
}

Watchdog::~Watchdog()
{
    ::SetEvent(m_hDisarmed);
    m_thread.join();
    ::CloseHandle(m_hDisarmed);
}

namespace
{
struct WindowSearch
{
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogWindow(HWND hWnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    char cls[64] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (pid == search->processId && std::string(cls) == "#32770")
        search->found.push_back(hWnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> DialogWindowsOf(DWORD processId)
{
    WindowSearch search{processId, {}};
    ::EnumWindows(CollectDialogWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TextOf(HWND hWnd)
{
    const int length = static_cast<int>(::SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    const int got = static_cast<int>(::SendMessageW(hWnd, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(&wide[0])));
    wide.resize(static_cast<size_t>(got > 0 ? got : 0));
    std::string utf8(wide.size() * 3, '\0');
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &utf8[0],
                                            static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
    return utf8;
}

HWND FindMessageBox(DWORD processId, const std::string& caption)
{
    for (HWND hWnd : DialogWindowsOf(processId))
    {
        // A message box has its text in a static control with id 0xFFFF.
        if (::IsWindowVisible(hWnd) && ::GetDlgItem(hWnd, 0xFFFF) && (caption.empty() || TextOf(hWnd) == caption))
            return hWnd;
    }
    return nullptr;
}

MessageBoxSeen ReadMessageBox(HWND hBox)
{
    MessageBoxSeen seen;
    seen.caption = TextOf(hBox);
    seen.text = TextOf(::GetDlgItem(hBox, 0xFFFF));
    seen.owner = ::GetWindow(hBox, GW_OWNER);
    return seen;
}

bool CloseMessageBox(HWND hBox)
{
    ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    return WaitFor([hBox] { return !::IsWindow(hBox); }, 5000);
}

std::string ForegroundSeen()
{
    const HWND hWnd = ::GetForegroundWindow();
    if (!hWnd)
        return "no window is in the foreground";
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    char cls[64] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    return "the foreground is window " + std::to_string(reinterpret_cast<uintptr_t>(hWnd)) + " of class " + cls +
           " titled '" + TextOf(hWnd) + "' of process " + std::to_string(pid) + " (this test's is " +
           std::to_string(::GetCurrentProcessId()) + ")";
}
