// The project's test programs, run in the self-test's mode.
#pragma once

#include "Report.h"

#include <windows.h>

#include <string>
#include <vector>

// Runs the tests of dir + exe (a test program) from dir in the self-test's
// mode, each in a process of its own, their output kept in dir + exe +
// ".log", and gives each test's result as the program reported it. A test
// that runs on past boundMs from the start is ended, with every program it
// started, and fails, as do the tests left and a test whose process failed
// without saying so.
std::vector<Outcome> RunTestProgram(const std::string& dir, const std::string& exe, DWORD boundMs);
