// The Win32 file calls that a settings save makes, in one table so that a
// test can stand in for the system where Wine cannot show it: another
// program holding the file without delete sharing, a folder the user may
// not write to while the file itself is writable, a replace that fails half
// way. The table is read on every call; a test installs its own for its
// scope and puts the system's back. User-interface thread only.
#pragma once

#include <windows.h>

struct ProfileFileCalls {
  HANDLE(WINAPI* createFile)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* replaceFile)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
  BOOL(WINAPI* moveFileEx)(LPCWSTR, LPCWSTR, DWORD);
  BOOL(WINAPI* deleteFile)(LPCWSTR);
  void(WINAPI* sleep)(DWORD);
};

// The real kernel32 functions.
const ProfileFileCalls& SystemProfileFileCalls();
// Makes calls (nullptr: the system's) the table used from now on.
void UseProfileFileCalls(const ProfileFileCalls* calls);
