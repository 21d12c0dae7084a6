// Finding and reading the windows of a program under test, from outside it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Removes dir (ending in a backslash) and the files in it.
void RemoveDirectoryWithFiles(const std::string& dir);

// Polls pred every pollMs until it holds or timeoutMs has passed.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs, DWORD pollMs = 20);

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
