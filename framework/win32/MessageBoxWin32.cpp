// Message boxes on Win32: the system's MessageBoxW.
#include <windows.h>

#include <string>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "BackendWin32.h"

using namespace afxwin32;

namespace {

HHOOK g_frontHook = nullptr;

// Puts the box that opens on this thread on top of every window and in the
// foreground, and unhooks itself: Wine ignores MB_TOPMOST, and
// MB_SETFOREGROUND alone lets other programs' windows cover the box again.
LRESULT CALLBACK BringBoxToFront(int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK hook = g_frontHook;
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(box);
    UnhookWindowsHookEx(hook);
    g_frontHook = nullptr;
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

namespace afxbackend {

int ShowMessageBox(const MessageBoxRequest& request) {
  std::string text = request.text;
  // The system box has no second text area: the detail follows the text.
  if (!request.detail.empty()) text += "\r\n\r\n" + request.detail;
  HWND owner = request.owner ? request.owner->m_hWnd : nullptr;
  UINT type = request.type;
  // Nothing of ours is in front to open over: the box comes in front itself.
  if (!owner) {
    type |= MB_SETFOREGROUND | MB_TOPMOST;
    if (!g_frontHook) {
      g_frontHook = SetWindowsHookExW(WH_CBT, BringBoxToFront, nullptr, GetCurrentThreadId());
    }
  }
  const int answer =
      MessageBoxW(owner, ToWide(text).c_str(), ToWide(request.caption).c_str(), type);
  if (g_frontHook) {  // the box never opened
    UnhookWindowsHookEx(g_frontHook);
    g_frontHook = nullptr;
  }
  return answer;
}

}  // namespace afxbackend
