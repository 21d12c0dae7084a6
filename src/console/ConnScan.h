// connscan's commands, from the program's start.
#pragma once

// Restricts the library search as every start of ours does, then runs the
// command line; returns the exit status, a failure when the output could
// not be written.
int ConnScanMain(int argc, char** argv);
