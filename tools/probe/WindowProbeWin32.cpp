// window-probe: starts a program (or a shortcut to one), waits for its
// window, then closes it as a user would, for the installer test under Wine.
//
//   window-probe [--start FILE] [--timeout SECONDS] [--keep] TITLE
//
// Waits for a visible top-level window whose title begins with TITLE and
// prints how long after the start it appeared, its title, size and place.
// Then, unless --keep, sends it WM_CLOSE, answers OK to the quit question
// it may ask, and waits for its process to end. Exit status: 0 done,
// 1 no such window in time, 2 the process did not end, 3 usage, 4 the start
// failed. Output is UTF-8.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "CliParser.h"
#include "ScopedHandleWin32.h"
#include "WideTextWin32.h"

namespace {

void Print(const std::wstring& text) {
  const std::string utf8 = win32::Utf8(text) + '\n';
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written,
            nullptr);
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

struct Search {
  const std::wstring* title;
  HWND found;
};

// The message box the window opened (owned by it, on its thread).
struct BoxSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK VisitThreadWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  wchar_t cls[16] = L"";
  GetClassNameW(window, cls, 16);
  if (window != search->owner && IsWindowVisible(window) &&
      GetWindow(window, GW_OWNER) == search->owner && std::wcscmp(cls, L"#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (IsWindowVisible(window) && WindowText(window).rfind(*search->title, 0) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// What a shortcut starts, as the shell would: its target and its folder.
bool ResolveShortcut(const std::wstring& link, std::wstring* target, std::wstring* folder) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return false;
  IShellLinkW* shell = nullptr;
  IPersistFile* file = nullptr;
  wchar_t path[MAX_PATH] = L"", dir[MAX_PATH] = L"";
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkW, reinterpret_cast<void**>(&shell))) &&
            SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(link.c_str(), STGM_READ));
  // The item list, not GetPath: Wine's GetPath gives the link's ANSI copy of
  // the path, where every Japanese character is a question mark.
  PIDLIST_ABSOLUTE items = nullptr;
  ok = ok && SUCCEEDED(shell->GetIDList(&items)) && SHGetPathFromIDListW(items, path) &&
       SUCCEEDED(shell->GetWorkingDirectory(dir, MAX_PATH));
  CoTaskMemFree(items);
  if (file) file->Release();
  if (shell) shell->Release();
  *target = path;
  *folder = dir;
  return ok && !target->empty();
}

double Milliseconds(const LARGE_INTEGER& from) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  enum { kStart, kTimeout, kKeep };
  static const CliProgram program{
      "window-probe",
      "[--start FILE] [--timeout SECONDS] [--keep] TITLE",
      "",
      "",
      {},
      {{kStart, "start", 0, CliArg::kValue, "FILE", "*", "start this program or shortcut"},
       {kTimeout, "timeout", 0, CliArg::kValue, "SECONDS", "*", "wait this long (default 30)"},
       {kKeep, "keep", 0, CliArg::kFlag, nullptr, "*", "leave the window open"}}};
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(win32::Utf8(argv[i]));
  CliParsed parsed;
  std::string error;
  std::wstring startFile;
  const wchar_t* start = nullptr;
  double timeout = 30;
  bool keep = false;
  std::wstring title;
  if (CliParse(program, args, &parsed, &error) && parsed.operands.size() == 1) {
    title = win32::Wide(parsed.operands[0]);
  }
  for (const CliArgument& a : parsed.options) {
    if (a.option->id == kStart) startFile = win32::Wide(a.value), start = startFile.c_str();
    if (a.option->id == kTimeout) timeout = std::wcstod(win32::Wide(a.value).c_str(), nullptr);
    if (a.option->id == kKeep) keep = a.On();
  }
  if (title.empty() || timeout <= 0) {
    Print(L"usage: window-probe [--start FILE] [--timeout SECONDS] [--keep] TITLE");
    return 3;
  }

  LARGE_INTEGER began;
  QueryPerformanceCounter(&began);
  win32::CScopedHandle started;
  if (start) {
    std::wstring file = start, folder;
    if (file.size() > 4 && _wcsicmp(file.c_str() + file.size() - 4, L".lnk") == 0) {
      if (!ResolveShortcut(start, &file, &folder)) {
        Print(L"window-probe: cannot read the shortcut " + std::wstring(start));
        return 4;
      }
      Print(L"shortcut to " + file + L" in " + folder);
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = file.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
      Print(L"window-probe: cannot start " + std::wstring(start) + L" (error " +
            std::to_wstring(GetLastError()) + L")");
      return 4;
    }
    started = win32::CScopedHandle(info.hProcess);
  }

  Search search{&title, nullptr};
  while (!search.found) {
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    if (search.found) break;
    DWORD code = 0;
    if (started.IsValid() && WaitForSingleObject(started.Get(), 0) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(started.Get(), &code)) {
      Print(L"window-probe: the program ended with " + std::to_wstring(code) +
            L" before its window appeared");
      return 1;
    }
    if (Milliseconds(began) > 1000 * timeout) {
      Print(L"window-probe: no window \"" + title + L"\" after " + std::to_wstring(timeout) +
            L" s");
      return 1;
    }
    Sleep(5);
  }
  const double shown = Milliseconds(began);
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(search.found, &pid);
  const win32::CScopedHandle process(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
  // Done with its start-up and painted: what a screenshot or a user sees.
  // The window shows during the dialog's start-up; a message sent to it is
  // answered only once its thread is back in its message loop.
  if (process.IsValid()) WaitForInputIdle(process.Get(), 5000);
  SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  RedrawWindow(search.found, nullptr, nullptr,
               RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const double idle = Milliseconds(began);
  RECT rect{};
  GetWindowRect(search.found, &rect);
  wchar_t line[200];
  std::swprintf(line, 200,
                L"shown after %.0f ms, idle after %.0f ms: %ldx%ld at %ld,%ld, process %lu", shown,
                idle, rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top, pid);
  Print(std::wstring(line) + L", title \"" + WindowText(search.found) + L"\"");
  if (keep) return 0;

  PostMessageW(search.found, WM_CLOSE, 0, 0);
  LARGE_INTEGER closing;
  QueryPerformanceCounter(&closing);
  HWND answered = nullptr;
  while (!process.IsValid() || WaitForSingleObject(process.Get(), 20) == WAIT_TIMEOUT) {
    if (!process.IsValid() && !IsWindow(search.found)) break;
    BoxSearch boxes{search.found, nullptr};
    EnumThreadWindows(thread, VisitThreadWindow, reinterpret_cast<LPARAM>(&boxes));
    const HWND box = boxes.found;
    if (box && box != answered) {
      wchar_t text[256] = L"";
      GetDlgItemTextW(box, 0xFFFF, text, 256);  // a message box's text control
      Print(L"answered OK to \"" + std::wstring(text) + L"\"");
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      answered = box;
    }
    if (Milliseconds(closing) > 1000 * timeout) {
      Print(L"window-probe: the program did not end after WM_CLOSE");
      return 2;
    }
  }
  DWORD code = 0;
  if (process.IsValid()) GetExitCodeProcess(process.Get(), &code);
  Print(L"ended with " + std::to_wstring(code));
  return 0;
}
