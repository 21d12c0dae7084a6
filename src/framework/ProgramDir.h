// The folder a file lies in, as the program finds its neighbours.
#pragma once

#include <windows.h>

#include <string>

// path cut after its last backslash, the backslash kept; empty when it has
// none. Double-byte characters of codePage are stepped over whole, so a
// trail byte equal to '\\' is not taken for a separator.
std::string DirectoryOf(const std::string& path, UINT codePage = CP_ACP);

// The full path of the running program's file.
std::string GetModuleFilePath();
