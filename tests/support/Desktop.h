// Finding and reading the windows of a program under test, from outside it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

// Polls pred every pollMs until it holds or timeoutMs has passed.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs, DWORD pollMs = 20);

// Bounds a wait that has no bound of its own (a modal loop, a message box
// nobody closes): unless destroyed within timeoutMs, it says that what did
// not happen and ends the test process.
class Watchdog
{
public:
    Watchdog(DWORD timeoutMs, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    HANDLE m_hDisarmed;
    std::thread m_thread;
};

// Top-level dialog-class windows (dialogs and message boxes) of a process.
std::vector<HWND> DialogWindowsOf(DWORD processId);

// A window's text, as UTF-8 (asked for in UTF-16, so any code page reads right).
std::string TextOf(HWND hWnd);

struct MessageBoxSeen
{
    std::string caption;
    std::string text;
    HWND owner;
};

// The first visible message box of processId with the given caption (any
// caption when empty), or null.
HWND FindMessageBox(DWORD processId, const std::string& caption = std::string());
MessageBoxSeen ReadMessageBox(HWND hBox);
// Presses the box's OK button and waits for it to go.
bool CloseMessageBox(HWND hBox);

// Which window is in the foreground, and whose, for a failure's message.
std::string ForegroundSeen();
