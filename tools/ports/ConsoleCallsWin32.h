// The console calls the tools' text output makes, in one table so that a
// test can stand in for a console where Wine's own cannot show what was
// written (the UTF-16 characters, where a chunk ends, the erase). The table
// is read on every write; a test installs its own for its scope and puts
// the system's back.
#pragma once

#include <windows.h>

struct ConsoleCalls {
  HANDLE(WINAPI* getStdHandle)(DWORD);
  BOOL(WINAPI* getConsoleMode)(HANDLE, LPDWORD);
  BOOL(WINAPI* writeConsoleW)(HANDLE, const VOID*, DWORD, LPDWORD, LPVOID);
  BOOL(WINAPI* getConsoleScreenBufferInfo)(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO);
  BOOL(WINAPI* fillConsoleOutputCharacterW)(HANDLE, WCHAR, DWORD, COORD, LPDWORD);
  BOOL(WINAPI* fillConsoleOutputAttribute)(HANDLE, WORD, DWORD, COORD, LPDWORD);
};

// The real kernel32 functions.
const ConsoleCalls& SystemConsoleCalls();
// Makes calls (nullptr: the system's) the table used from now on.
void UseConsoleCalls(const ConsoleCalls* calls);
