// What a program does first, before it loads anything: where the system may
// look for libraries, and the common controls of the manifest's version.
#pragma once

#include <windows.h>

// Restricts every later library load by name to the system folder, where the
// system offers it (Windows 7 with KB2533623 and later); elsewhere a no-op.
// Libraries loaded by full path are unaffected.
void RestrictDllSearchToSystem();

// Loads a library of the system folder by its full path, never from
// anywhere else (IPHLPAPI.DLL, which is no KnownDLL); its own imports from
// the system folder too where the system can restrict them. Null when it
// cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// Registers the standard controls from the common controls library the
// manifest names (version 6: the system's visual style).
void InitCommonControlClasses();
