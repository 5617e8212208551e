// What zeta7ctl needs of the operating system beyond the standard library
// and ToolConsole.h: the interrupt request (Ctrl+C), the terminal, device
// names and the record file. One implementation file per platform
// (CtlPlatformPosix.cpp, CtlPlatformWin32.cpp). Called from the main
// thread; the interrupt flag is then read by every unit's thread.
#pragma once

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>

// From now on Ctrl+C (and a request to terminate) only sets *flag. The flag
// must outlive the process's handling of signals.
void InstallInterruptHandler(std::atomic<bool>* flag);
// The records are written and the ports closed. Windows ends a process
// whose console is closed as soon as the handler returns, so there the
// handler waits for this (within the few seconds the system allows).
void InterruptHandled();

// Whether standard output is a terminal, and its width in columns (0 when
// unknown).
bool StdoutIsTerminal();
int TerminalColumns();

// Broken-down UTC time, thread-safe.
std::tm UtcTime(std::time_t t);

// Whether a -p argument that is not COMn names a device by its path
// ("/dev/ttyUSB0"; "\\.\COM12" on Windows).
bool IsDevicePathName(const std::string& name);

// One text for every name of one device, so that a device named twice in a
// batch is caught before two threads share it: the path with its links
// resolved; on Windows, where names are case-blind, in capitals.
std::string DeviceIdentity(const std::string& device);

// The record file (a UTF-8 path) opened for appending whole lines, the same
// bytes on every system; nullptr when it cannot be opened.
std::FILE* OpenRecordFile(const std::string& path);
