// connscan's commands, from the program's start.
#pragma once

// Restricts the library search as every start of ours does, then runs the
// command line; returns the exit status.
int ConnScanMain(int argc, char** argv);
