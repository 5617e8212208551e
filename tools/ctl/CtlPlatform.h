// What zeta7ctl needs of the operating system beyond the standard library:
// the interrupt request (Ctrl+C) and the terminal. One implementation file
// per platform (CtlPlatformPosix.cpp here). Called from the main thread;
// the interrupt flag is then read by every unit's thread.
#pragma once

#include <atomic>
#include <ctime>

// Makes the console show the UTF-8 texts and the progress line; first thing
// at start-up.
void PrepareConsole();

// From now on Ctrl+C (and a request to terminate) only sets *flag. The flag
// must outlive the process's handling of signals.
void InstallInterruptHandler(std::atomic<bool>* flag);

// Whether standard output is a terminal, and its width in columns (0 when
// unknown).
bool StdoutIsTerminal();
int TerminalColumns();

// Broken-down UTC time, thread-safe.
std::tm UtcTime(std::time_t t);
