// The test driver's input on Win32: the messages the system would queue for
// the user's keys and clicks, each handled as the dialog's modal loop handles
// a queued message (key filter, IsDialogMessageW, translation, dispatch),
// with what that posts in turn drained the same way. In-process and without
// SendInput, so neither the window manager nor the foreground window matter.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include "AfxWin32.h"
#include "DialogDriver.h"
#include "WideTextWin32.h"

namespace {

HWND HandleOf(const CWnd& wnd) { return wnd.m_hWnd; }

std::wstring Wide(const std::string& text) { return win32::Wide(text); }

// The key-message lParam: repeat count 1, the key's scan code, Alt as the
// context bit, and for a release the previous-state and transition bits.
LPARAM KeyParam(UINT vk, bool alt, bool up) {
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  LPARAM lParam = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
  if (alt) lParam |= static_cast<LPARAM>(1) << 29;
  if (up) lParam |= (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
  return lParam;
}

void Queue(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = target;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  GetCursorPos(&msg.pt);
  AfxWin32HandleQueued(&msg);
  AfxWin32DrainQueue();
}

// Holds modifier keys down in the thread's keyboard state, which is what
// translation reads, for as long as the object lives.
class HeldKeys {
 public:
  HeldKeys(bool ctrl, bool alt, bool shift) {
    GetKeyboardState(m_saved);
    BYTE state[256];
    GetKeyboardState(state);
    if (ctrl) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    if (alt) state[VK_MENU] = state[VK_LMENU] = 0x80;
    if (shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    SetKeyboardState(state);
  }
  ~HeldKeys() { SetKeyboardState(m_saved); }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;

 private:
  BYTE m_saved[256];
};

// A key press and release aimed at target; the character it types comes
// from translation, as it does for the user's keys.
void PressAndRelease(HWND target, UINT vk, bool ctrl, bool alt, bool shift = false) {
  HeldKeys held(ctrl, alt, shift);
  const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
  Queue(target, down, vk, KeyParam(vk, alt, false));
  Queue(target, up, vk, KeyParam(vk, alt, true));
}

// Notes whether a key press got through to the window it was aimed at.
LRESULT CALLBACK NoteArrival(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR data) {
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) *reinterpret_cast<bool*>(data) = true;
  return DefSubclassProc(hWnd, message, wParam, lParam);
}

constexpr UINT_PTR kArrivalSubclassId = 0x5A37;

// A key aimed at control goes where the system sends keys, to the focus
// (which a disabled control cannot take). It reached the control when the
// control saw it; a Tab, which the dialog manager takes before any control
// does, reached it when the dialog manager moved the focus on from it.
bool SendKey(HWND control, UINT vk, bool alt) {
  HWND focus = GetFocus();
  HWND target = focus ? focus : control;
  bool arrived = false;
  SetWindowSubclass(control, NoteArrival, kArrivalSubclassId,
                    reinterpret_cast<DWORD_PTR>(&arrived));
  PressAndRelease(target, vk, false, alt);
  RemoveWindowSubclass(control, NoteArrival, kArrivalSubclassId);
  if (vk == VK_TAB && !alt && target == control && GetFocus() != control) arrived = true;
  return arrived;
}

void FocusControl(CWnd& control) {
  control.SetFocus();
  AfxWin32DrainQueue();
}

// Focuses an edit as a click after its text does: the caret goes to the
// end, unless part of the text is selected, which stays selected. (The
// dialog manager's own focus move would select the whole text.)
void FocusForTyping(HWND edit) {
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  SetFocus(edit);
  AfxWin32DrainQueue();
  if (start == end) {
    const LPARAM length = GetWindowTextLengthW(edit);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
  } else {
    SendMessageW(edit, EM_SETSEL, start, static_cast<LPARAM>(end));
  }
}

}  // namespace

void CDialogDriver::Click(int id) {
  HWND button = HandleOf(Control(id));
  // A disabled button, or one in a window that a box has disabled, takes no
  // click.
  if (!IsWindowEnabled(button) || !IsWindowEnabled(GetAncestor(button, GA_ROOT))) return;
  SendMessageW(button, BM_CLICK, 0, 0);
  AfxWin32DrainQueue();
}

void CDialogDriver::Choose(int id, int index) {
  HWND combo = HandleOf(Control(id));
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  AfxWin32DrainQueue();
}

void CDialogDriver::Type(int id, const std::string& text) {
  HWND target = HandleOf(Control(id));
  FocusForTyping(target);
  for (const wchar_t c : Wide(text)) {
    if (c == L'\b') {
      PressAndRelease(target, VK_BACK, false, false);
    } else if (c >= 0x01 && c <= 0x1A) {
      PressAndRelease(target, 'A' + c - 1, true, false);  // Ctrl+A to Ctrl+Z
    } else if (c >= L'0' && c <= L'9') {
      PressAndRelease(target, c, false, false);
    } else if (c >= L'A' && c <= L'Z') {
      PressAndRelease(target, c, false, false, true);
    } else if (c >= L'a' && c <= L'z') {
      PressAndRelease(target, c - L'a' + L'A', false, false);
    } else {
      // Any other character arrives as the system delivers injected
      // Unicode input: a VK_PACKET key whose translation is the character.
      Queue(target, WM_KEYDOWN, VK_PACKET, 1 | (static_cast<LPARAM>(c) << 16));
      Queue(target, WM_KEYUP, VK_PACKET,
            1 | (static_cast<LPARAM>(c) << 16) | (static_cast<LPARAM>(3) << 30));
    }
  }
}

void CDialogDriver::Commit(int id, const std::string& text) {
  HWND target = HandleOf(Control(id));
  FocusForTyping(target);
  // What an input method sends to a window that leaves composition to it.
  for (const wchar_t c : Wide(text)) Queue(target, WM_IME_CHAR, c, 1);
}

void CDialogDriver::SelectAll(int id) { SendMessageW(HandleOf(Control(id)), EM_SETSEL, 0, -1); }

bool CDialogDriver::PressKey(int id, UINT vk, bool alt) {
  CWnd& control = Control(id);
  FocusControl(control);
  return SendKey(HandleOf(control), vk, alt);
}

// While a drop-down list is open its combo box keeps the focus and takes
// the keys.
bool CDialogDriver::PressKeyInList(int id, UINT vk) {
  return SendKey(HandleOf(Control(id)), vk, false);
}

void CDialogDriver::OpenList(int id) {
  SendMessageW(HandleOf(Control(id)), CB_SHOWDROPDOWN, TRUE, 0);
  AfxWin32DrainQueue();
}

bool CDialogDriver::IsListOpen(int id) {
  return SendMessageW(HandleOf(Control(id)), CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

void CDialogDriver::CloseList(int id) {
  SendMessageW(HandleOf(Control(id)), CB_SHOWDROPDOWN, FALSE, 0);
  AfxWin32DrainQueue();
}

// The title-bar close button's command.
void CDialogDriver::RequestClose() {
  SendMessageW(HandleOf(m_dialog), WM_SYSCOMMAND, SC_CLOSE, 0);
  AfxWin32DrainQueue();
}

bool CDialogDriver::IsFixedSize() const {
  return (GetWindowLongPtrW(HandleOf(m_dialog), GWL_STYLE) & WS_THICKFRAME) == 0;
}

CRect CDialogDriver::Placement(int id) const {
  HWND control = HandleOf(Control(id));
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return CRect(r.left, r.top, r.right, r.bottom);
}

bool CDialogDriver::IsPlainText(int id) const {
  HWND control = HandleOf(Control(id));
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  if (lstrcmpiW(className, L"Static") != 0) return true;
  return (GetWindowLongPtrW(control, GWL_STYLE) & SS_NOPREFIX) != 0;
}
