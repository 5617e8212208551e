// Hints over the entries of an opened drop-down list on Win32: the list's
// pop-up window is subclassed, and a tracking tool tip of the dialog shows
// the hint of the entry under the pointer. The hints themselves are kept in
// the dialog's state record.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <string>
#include <vector>

#include "AfxBackend.h"
#include "BackendWin32.h"

using namespace afxwin32;

namespace {

void HideTip(DialogState* state) {
  if (!state->tipWindow || state->tipIndex < 0) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(state->tipWindow);
  tool.uId = 1;
  SendMessageW(state->tipWindow, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
  state->tipIndex = -1;
}

// Shows the hint of entry index next to the pointer, or hides it when the
// entry has none.
void ShowTip(DialogState* state, HWND combo, int index, POINT screen) {
  if (index == state->tipIndex) return;
  HideTip(state);
  const std::string text = afxbackend::ComboTip(combo, index);
  if (text.empty()) return;
  HWND dialog = GetAncestor(combo, GA_ROOT);
  if (!state->tipWindow) {
    state->tipWindow = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                       WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0, dialog,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!state->tipWindow) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = dialog;
    tool.uId = 1;
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(state->tipWindow, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  const std::wstring wide = ToWide(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = dialog;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(wide.c_str());
  SendMessageW(state->tipWindow, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(state->tipWindow, TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x + 16, screen.y + 16));
  SendMessageW(state->tipWindow, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
  state->tipIndex = index;
}

}  // namespace

// The opened list of a drop-down (its own pop-up window, which holds the
// pointer while open): the entry under the pointer shows its hint.
LRESULT CALLBACK afxwin32::ListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
  HWND combo = reinterpret_cast<HWND>(data);
  DialogState* state =
      static_cast<DialogState*>(GetPropW(GetAncestor(combo, GA_ROOT), kDialogProp));
  switch (message) {
    case WM_MOUSEMOVE:
      if (state) {
        const LRESULT hit = SendMessageW(hWnd, LB_ITEMFROMPOINT, 0, lParam);
        POINT screen = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(hWnd, &screen);
        if (HIWORD(hit) == 0) {
          AfxFenced(DialogOfTarget(combo), false, [&] {
            ShowTip(state, combo, LOWORD(hit), screen);
            return true;
          });
        } else {
          HideTip(state);
        }
      }
      break;
    case WM_SHOWWINDOW:
      if (!wParam && state) HideTip(state);
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hWnd, ListProc, kListSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(hWnd, message, wParam, lParam);
}

namespace afxbackend {

void ComboSetTip(HWND hWnd, int index, const std::string& text) {
  DialogState* state = StateOf(GetAncestor(hWnd, GA_ROOT));
  if (!state || index < 0 || index >= ComboCount(hWnd)) return;
  std::vector<std::string>& tips = state->tips[hWnd];
  if (tips.size() <= static_cast<size_t>(index)) tips.resize(static_cast<size_t>(index) + 1);
  tips[static_cast<size_t>(index)] = text;
}

std::string ComboTip(HWND hWnd, int index) {
  DialogState* state = StateOf(GetAncestor(hWnd, GA_ROOT));
  if (!state || index < 0) return std::string();
  const auto it = state->tips.find(hWnd);
  if (it == state->tips.end() || static_cast<size_t>(index) >= it->second.size()) {
    return std::string();
  }
  return it->second[static_cast<size_t>(index)];
}

}  // namespace afxbackend
