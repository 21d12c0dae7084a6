// The framework's message box: an OK button, the exclamation icon and the
// application's name as caption, owned by the main window when there is one.
#pragma once

#include <windows.h>

int AfxMessageBox(const char* text);
// A prompt string from the program's own string table.
int AfxMessageBox(UINT nIDPrompt);
