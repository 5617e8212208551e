#include <windows.h>

#include "CtlPlatform.h"

namespace {

std::atomic<bool>* g_interrupted = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (g_interrupted != nullptr) g_interrupted->store(true);
      return TRUE;
    default:
      return FALSE;
  }
}

HANDLE Stdout() { return GetStdHandle(STD_OUTPUT_HANDLE); }

}  // namespace

void PrepareConsole() {
  // The texts are UTF-8; the progress line uses the erase-line sequence.
  SetConsoleOutputCP(CP_UTF8);
  DWORD mode = 0;
  if (GetConsoleMode(Stdout(), &mode)) {
    SetConsoleMode(Stdout(), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

void InstallInterruptHandler(std::atomic<bool>* flag) {
  g_interrupted = flag;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StdoutIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(Stdout(), &mode) != 0;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(Stdout(), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

std::tm UtcTime(std::time_t t) {
  std::tm tm{};
  gmtime_s(&tm, &t);
  return tm;
}
