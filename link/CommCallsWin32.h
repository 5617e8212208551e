// The Win32 serial calls that PortSystemWin32.cpp makes, gathered in one
// table so that a test can stand in for the driver: Wine runs the real calls
// on a pseudo-terminal, but there the RTS escape fails and a second open of
// a held port is not refused, so those rules are checked against a fake.
//
// The table is read on every call; a test installs its own for its scope and
// puts the system's back. Only the thread that owns the port uses it (and
// the diagnosis, which any thread may run: a test swaps the table only while
// no port or diagnosis is in use).
#pragma once

#include <windows.h>

struct CommCalls {
  HANDLE(WINAPI* createFile)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* getCommState)(HANDLE, LPDCB);
  BOOL(WINAPI* setCommState)(HANDLE, LPDCB);
  BOOL(WINAPI* getCommTimeouts)(HANDLE, LPCOMMTIMEOUTS);
  BOOL(WINAPI* setCommTimeouts)(HANDLE, LPCOMMTIMEOUTS);
  BOOL(WINAPI* escapeCommFunction)(HANDLE, DWORD);
  BOOL(WINAPI* readFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* clearCommError)(HANDLE, LPDWORD, LPCOMSTAT);
  BOOL(WINAPI* closeHandle)(HANDLE);
  // The drain's wait between looks at the output queue.
  VOID(WINAPI* sleep)(DWORD);
};

// The real kernel32 functions.
const CommCalls& SystemCommCalls();
// Makes calls (nullptr: the system's) the table used from now on.
void UseCommCalls(const CommCalls* calls);
// The table in use, for the port diagnosis, which opens the way the port
// does.
const CommCalls& CommCallsInUse();

// The flags word of a DCB (fBinary .. fAbortOnError and the reserved bits)
// as one number, the way the masks of the port rules are written.
DWORD DcbFlags(const DCB& dcb);
void SetDcbFlags(DCB* dcb, DWORD flags);
