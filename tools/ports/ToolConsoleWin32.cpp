#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

#include "ConsoleCallsWin32.h"
#include "ToolConsole.h"
#include "WideTextWin32.h"

namespace {

const ConsoleCalls kSystemCalls{GetStdHandle,
                                GetConsoleMode,
                                WriteConsoleW,
                                GetConsoleScreenBufferInfo,
                                FillConsoleOutputCharacterW,
                                FillConsoleOutputAttribute};
const ConsoleCalls* g_calls = &kSystemCalls;

constexpr char kEraseToEnd[] = "\x1b[K";

bool WriteWide(HANDLE console, const std::wstring& text) {
  size_t at = 0;
  while (at < text.size()) {
    // Older consoles refuse very long writes; a chunk ends before a low
    // surrogate so that no character is split.
    size_t n = std::min<size_t>(text.size() - at, 8192);
    if (at + n < text.size() && text[at + n] >= 0xDC00 && text[at + n] <= 0xDFFF) --n;
    DWORD written = 0;
    if (!g_calls->writeConsoleW(console, text.data() + at, static_cast<DWORD>(n), &written,
                                nullptr) ||
        written == 0) {
      return false;
    }
    at += written;
  }
  return true;
}

// Windows 7 consoles know no escape sequences: the rest of the cursor's
// row is blanked in place.
void EraseToEnd(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!g_calls->getConsoleScreenBufferInfo(console, &info)) return;
  const SHORT width = info.dwSize.X;
  if (info.dwCursorPosition.X >= width) return;
  DWORD done = 0;
  const DWORD count = static_cast<DWORD>(width - info.dwCursorPosition.X);
  g_calls->fillConsoleOutputCharacterW(console, L' ', count, info.dwCursorPosition, &done);
  g_calls->fillConsoleOutputAttribute(console, info.wAttributes, count, info.dwCursorPosition,
                                      &done);
}

bool WriteConsoleText(HANDLE console, const std::string& text) {
  size_t from = 0;
  for (;;) {
    const size_t erase = text.find(kEraseToEnd, from);
    if (!WriteWide(console, win32::Wide(text.substr(from, erase - from)))) return false;
    if (erase == std::string::npos) return true;
    EraseToEnd(console);
    from = erase + sizeof kEraseToEnd - 1;
  }
}

// A console (a handle with a console mode) gets characters; a file, a pipe
// or the null device gets the UTF-8 bytes through the C library.
bool WriteTo(DWORD which, std::FILE* stream, const std::string& text) {
  const HANDLE h = g_calls->getStdHandle(which);
  DWORD mode = 0;
  if (h != nullptr && h != INVALID_HANDLE_VALUE && g_calls->getConsoleMode(h, &mode)) {
    const bool flushed = std::fflush(stream) == 0;  // what the C library holds goes first
    return WriteConsoleText(h, text) && flushed;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  return std::fflush(stream) == 0 && written;
}

}  // namespace

const ConsoleCalls& SystemConsoleCalls() { return kSystemCalls; }

void UseConsoleCalls(const ConsoleCalls* calls) { g_calls = calls ? calls : &kSystemCalls; }

std::vector<std::string> ToolArguments(int argc, char** argv) {
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(win32::Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

bool WriteStdout(const std::string& text) { return WriteTo(STD_OUTPUT_HANDLE, stdout, text); }

bool WriteStderr(const std::string& text) { return WriteTo(STD_ERROR_HANDLE, stderr, text); }

bool CloseStdout() {
  const bool flushed = std::fflush(stdout) == 0;
  return std::fclose(stdout) == 0 && flushed;
}
