// The shipped programs and libraries, read as files: those of the build
// under test, or another build's, named by CONNSETUP_IMAGE_DIR with its
// architecture in CONNSETUP_IMAGE_ARCH, to check files this host cannot run.
#pragma once

#include "support/ProgramRun.h"

#include <cstdlib>
#include <string>

inline std::string ImageDir()
{
    const std::string other = DirFromEnvironment("CONNSETUP_IMAGE_DIR");
    return other.empty() ? TestExeDir() : other;
}

// "x86" or "amd64", as a manifest names it.
inline std::string ImageArch()
{
    const char* arch = std::getenv("CONNSETUP_IMAGE_ARCH");
    return arch ? arch : sizeof(void*) == 8 ? "amd64" : "x86";
}
