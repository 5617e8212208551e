// Message boxes on Win32: a task dialog where the box has a detail, whose
// expandable information holds it as the details area of the Qt box does;
// the system's MessageBoxW otherwise, and where task dialogs are not there
// (common controls before 6) or the buttons are none a task dialog has.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <optional>
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

using TaskDialogIndirectCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Present in common controls 6 only, which the program's manifest asks for.
TaskDialogIndirectCall TaskDialogFunction() {
  static const TaskDialogIndirectCall function = [] {
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    if (!comctl) comctl = LoadLibraryW(L"comctl32.dll");
    return comctl ? reinterpret_cast<TaskDialogIndirectCall>(
                        reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")))
                  : nullptr;
  }();
  return function;
}

struct TaskButtons {
  TASKDIALOG_COMMON_BUTTON_FLAGS flags;
  int second;  // the button MB_DEFBUTTON2 names
  bool hasCancel;
};

// The box's buttons as a task dialog's; nothing for the sets it has not.
std::optional<TaskButtons> TaskButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return TaskButtons{TDCBF_OK_BUTTON, IDOK, false};
    case MB_OKCANCEL:
      return TaskButtons{TDCBF_OK_BUTTON | TDCBF_CANCEL_BUTTON, IDCANCEL, true};
    case MB_YESNO:
      return TaskButtons{TDCBF_YES_BUTTON | TDCBF_NO_BUTTON, IDNO, false};
    case MB_YESNOCANCEL:
      return TaskButtons{TDCBF_YES_BUTTON | TDCBF_NO_BUTTON | TDCBF_CANCEL_BUTTON, IDNO, true};
    case MB_RETRYCANCEL:
      return TaskButtons{TDCBF_RETRY_BUTTON | TDCBF_CANCEL_BUTTON, IDCANCEL, true};
    default:
      return std::nullopt;
  }
}

// The box as a task dialog: the same caption, icon, text and buttons, the
// detail folded under "詳細の表示". Nothing when it could not be shown.
std::optional<int> ShowTaskDialog(HWND owner, const MessageBoxRequest& request) {
  const TaskDialogIndirectCall taskDialog = TaskDialogFunction();
  const std::optional<TaskButtons> buttons = TaskButtonsOf(request.type);
  if (!taskDialog || !buttons) return std::nullopt;
  const std::wstring caption = ToWide(request.caption);
  const std::wstring text = ToWide(request.text);
  const std::wstring detail = ToWide(request.detail);
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwCommonButtons = buttons->flags;
  config.pszWindowTitle = caption.c_str();
  config.pszContent = text.c_str();
  config.pszExpandedInformation = detail.c_str();
  config.pszCollapsedControlText = L"詳細の表示";
  config.pszExpandedControlText = L"詳細の非表示";
  // A box with a Cancel button, or only OK, closes with Escape and the
  // title bar, as MessageBoxW does.
  if (buttons->hasCancel || (request.type & MB_TYPEMASK) == MB_OK) {
    config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
  }
  if ((request.type & MB_DEFMASK) == MB_DEFBUTTON2) config.nDefaultButton = buttons->second;
  switch (request.type & MB_ICONMASK) {
    case MB_ICONHAND:
      config.pszMainIcon = TD_ERROR_ICON;
      break;
    case MB_ICONEXCLAMATION:
      config.pszMainIcon = TD_WARNING_ICON;
      break;
    case MB_ICONASTERISK:
      config.pszMainIcon = TD_INFORMATION_ICON;
      break;
    case MB_ICONQUESTION:  // a task dialog has no question icon of its own
      config.dwFlags |= TDF_USE_HICON_MAIN;
      config.hMainIcon = LoadIconW(nullptr, IDI_QUESTION);
      break;
    default:
      break;
  }
  int answer = 0;
  if (FAILED(taskDialog(&config, &answer, nullptr, nullptr))) return std::nullopt;
  // Closing an OK-only box answers OK, as MessageBoxW's does.
  if (answer == IDCANCEL && !buttons->hasCancel) answer = IDOK;
  return answer;
}

}  // namespace

namespace afxbackend {

int ShowMessageBox(const MessageBoxRequest& request) {
  HWND owner = request.owner ? request.owner->m_hWnd : nullptr;
  UINT type = request.type;
  // Nothing of ours is in front to open over: the box comes in front itself.
  if (!owner) {
    type |= MB_SETFOREGROUND | MB_TOPMOST;
    if (!g_frontHook) {
      g_frontHook = SetWindowsHookExW(WH_CBT, BringBoxToFront, nullptr, GetCurrentThreadId());
    }
  }
  std::optional<int> answer;
  if (!request.detail.empty()) answer = ShowTaskDialog(owner, request);
  if (!answer) {
    std::string text = request.text;
    // The system box has no second text area: the detail follows the text.
    if (!request.detail.empty()) text += "\r\n\r\n" + request.detail;
    answer = MessageBoxW(owner, ToWide(text).c_str(), ToWide(request.caption).c_str(), type);
  }
  if (g_frontHook) {  // the box never opened
    UnhookWindowsHookEx(g_frontHook);
    g_frontHook = nullptr;
  }
  return *answer;
}

}  // namespace afxbackend
