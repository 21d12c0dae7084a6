// Private messages between the discovery worker and the dialog's thread.
#pragma once

#include <windows.h>

// Sent by the worker as its last act: unlock the controls, clear the mark.
constexpr UINT WM_DISCOVERY_DONE = WM_APP + 1;
