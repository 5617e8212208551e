// The dialog framework on Win32: USER32 and COMCTL32 through the W functions.
//
// A dialog is a real dialog window, created with CreateDialogIndirectParamW
// from an extended template that is written in memory from the program's
// template table, and run by a message loop of our own: each queued message
// of the dialog and its controls goes to the dialog's PreTranslateMessage
// first, whose base is IsDialogMessageW. The dialog procedure hands
// WM_COMMAND, WM_CLOSE, WM_PAINT and WM_QUERYDRAGICON to the message map;
// edits are subclassed so that every character, typed or composed, goes to
// the attached object as WM_CHAR before the edit sees it, and the opened
// lists of drop-downs so that an entry's hint shows under the pointer.
//
// The framework object attached to a window is a window property. Each
// dialog carries a small state record of ours (its object, the list hints,
// the paint structure) from creation to destruction. Text is UTF-8 outside
// this file and UTF-16 at every call.
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "AfxWin32.h"

namespace {

const wchar_t kOwnerProp[] = L"Zeta7.AfxOwner";
const wchar_t kDialogProp[] = L"Zeta7.AfxDialog";
constexpr UINT_PTR kEditSubclassId = 1;

constexpr UINT_PTR kListSubclassId = 2;

// What we keep for each dialog window while it exists.
struct DialogState {
  CDialog* dialog = nullptr;
  bool showWhenRun = false;                       // the template asks for a visible window
  std::map<HWND, std::vector<std::string>> tips;  // by drop-down list
  HWND tipWindow = nullptr;                       // the hint shown over an opened list's entry
  int tipIndex = -1;                              // the entry it is shown for
  HWND disabledOwner = nullptr;                   // the owner the modal loop has disabled
  PAINTSTRUCT paint{};
};

std::wstring Wide(const std::string& text) { return AfxWin32Wide(text); }
std::string Utf8(const wchar_t* text, size_t length) { return AfxWin32Utf8(text, length); }

DialogState* StateOf(HWND dialog) {
  return dialog ? static_cast<DialogState*>(GetPropW(dialog, kDialogProp)) : nullptr;
}

CDialog* DialogOf(HWND hWnd) {
  DialogState* state = StateOf(hWnd);
  return state ? state->dialog : nullptr;
}

// The dialog whose window (or one of its controls) a message is aimed at.
CDialog* DialogOfTarget(HWND hWnd) { return hWnd ? DialogOf(GetAncestor(hWnd, GA_ROOT)) : nullptr; }

CRect ToCRect(const RECT& r) { return CRect(r.left, r.top, r.right, r.bottom); }

void InitControlClasses() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  done = true;
}

// Asks an edit's object whether a character goes in; true when it does.
bool PassesCharFilter(HWND edit, WPARAM ch, LPARAM flags) {
  CWnd* owner = afxbackend::OwnerOf(edit);
  return !owner || owner->OnWndMsg(WM_CHAR, ch, flags, nullptr) != FALSE;
}

// An input method's result string goes in character by character through
// the filter, as if typed; the edit's own handling would insert it whole.
void InsertComposedResult(HWND edit) {
  HIMC context = ImmGetContext(edit);
  if (!context) return;
  const LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
  if (bytes > 0) {
    std::wstring result(static_cast<size_t>(bytes) / sizeof(wchar_t), L'\0');
    ImmGetCompositionStringW(context, GCS_RESULTSTR, &result[0], static_cast<DWORD>(bytes));
    for (const wchar_t c : result) SendMessageW(edit, WM_CHAR, c, 1);
  }
  ImmReleaseContext(edit, context);
}

LRESULT CALLBACK EditProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR) {
  switch (message) {
    case WM_CHAR:
    case WM_IME_CHAR:  // the edit inserts these as it does WM_CHAR
      if (!PassesCharFilter(hWnd, wParam, lParam)) return 0;
      break;
    case WM_IME_COMPOSITION:
      if (lParam & GCS_RESULTSTR) {
        InsertComposedResult(hWnd);
        lParam &= ~static_cast<LPARAM>(GCS_RESULTSTR | GCS_RESULTCLAUSE | GCS_RESULTREADSTR |
                                       GCS_RESULTREADCLAUSE);
        if (lParam == 0) return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hWnd, EditProc, kEditSubclassId);
      RemovePropW(hWnd, kOwnerProp);
      break;
    default:
      break;
  }
  return DefSubclassProc(hWnd, message, wParam, lParam);
}

// ---- Hints over the entries of an opened drop-down list -----------------------

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
  const std::wstring wide = Wide(text);
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

// The opened list of a drop-down (its own pop-up window, which holds the
// pointer while open): the entry under the pointer shows its hint.
LRESULT CALLBACK ListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
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
          ShowTip(state, combo, LOWORD(hit), screen);
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

INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetPropW(hWnd, kDialogProp, reinterpret_cast<HANDLE>(lParam));
    return FALSE;  // the framework puts the focus once OnInitDialog has run
  }
  if (message == WM_NCDESTROY) {
    // The last message the window gets, however it is destroyed.
    std::unique_ptr<DialogState> state(StateOf(hWnd));
    RemovePropW(hWnd, kDialogProp);
    RemovePropW(hWnd, kOwnerProp);
    if (state && state->tipWindow && IsWindow(state->tipWindow)) DestroyWindow(state->tipWindow);
    return FALSE;
  }
  CDialog* dialog = DialogOf(hWnd);
  if (!dialog || dialog->m_hWnd != hWnd) return FALSE;
  switch (message) {
    case WM_COMMAND:
      return dialog->OnWndMsg(message, wParam, lParam, nullptr) ? FALSE : TRUE;
    case WM_CLOSE:
      if (dialog->OnWndMsg(WM_CLOSE, 0, 0, nullptr)) dialog->EndDialog(IDCANCEL);
      return TRUE;
    case WM_PAINT:
      return dialog->OnWndMsg(WM_PAINT, wParam, lParam, nullptr) ? FALSE : TRUE;
    case WM_QUERYDRAGICON: {
      // One of the messages whose dialog-procedure result is the answer.
      LRESULT icon = 0;
      return dialog->OnWndMsg(message, wParam, lParam, &icon) ? FALSE : icon;
    }
    default:
      return FALSE;
  }
}

// An in-memory extended dialog template (DLGTEMPLATEEX followed by one
// DLGITEMTEMPLATEEX a control), in 16-bit words.
class TemplateWriter {
 public:
  void Word(unsigned value) { m_words.push_back(static_cast<WORD>(value & 0xFFFFu)); }
  void Dword(unsigned long value) {
    Word(static_cast<unsigned>(value & 0xFFFFu));
    Word(static_cast<unsigned>((value >> 16) & 0xFFFFu));
  }
  void Text(const std::string& utf8) {
    for (const wchar_t c : Wide(utf8)) Word(c);
    Word(0);
  }
  // Every control's record starts on a 32-bit boundary.
  void AlignDword() {
    if (m_words.size() % 2 != 0) Word(0);
  }
  const DLGTEMPLATE* Data() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

 private:
  std::vector<WORD> m_words;
};

// The system class of each kind of control, as its predefined atom.
unsigned ClassAtom(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDropList:
      return 0x0085;  // combo box
    case ControlKind::kPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kGroupBox:
      return 0x0080;  // button
    case ControlKind::kEdit:
      return 0x0081;  // edit
    case ControlKind::kLabel:
    case ControlKind::kSunkenLabel:
      return 0x0082;  // static
  }
  return 0x0082;
}

DWORD ControlStyle(const DialogItem& item) {
  DWORD style = item.style;
  // Texts from the unit and the file system are shown as they are: an "&"
  // in them is not a mnemonic.
  if (item.kind == ControlKind::kLabel || item.kind == ControlKind::kSunkenLabel) {
    style |= SS_NOPREFIX;
  }
  return style;
}

void WriteTemplate(const DialogTemplate& tmpl, TemplateWriter* out) {
  DWORD style = tmpl.style & ~static_cast<DWORD>(WS_VISIBLE);  // shown once placed
  const bool hasFont = tmpl.fontFace != nullptr && tmpl.fontFace[0] != '\0';
  // The font fields follow exactly when the style says so.
  if (hasFont) {
    style |= DS_SETFONT;
  } else {
    style &= ~static_cast<DWORD>(DS_SETFONT);
  }
  out->Word(1);       // dlgVer
  out->Word(0xFFFF);  // signature: extended template
  out->Dword(0);      // helpID
  out->Dword(tmpl.exStyle);
  out->Dword(style);
  out->Word(static_cast<unsigned>(tmpl.itemCount));
  out->Word(0);  // x
  out->Word(0);  // y
  out->Word(static_cast<unsigned>(tmpl.cx));
  out->Word(static_cast<unsigned>(tmpl.cy));
  out->Word(0);  // no menu
  out->Word(0);  // the standard dialog class
  out->Text(tmpl.caption);
  if (hasFont) {
    out->Word(static_cast<unsigned>(tmpl.fontPoints));
    out->Word(FW_DONTCARE);
    out->Word(DEFAULT_CHARSET << 8);  // not italic; the default character set
    out->Text(tmpl.fontFace);
  }
  for (size_t i = 0; i < tmpl.itemCount; ++i) {
    const DialogItem& item = tmpl.items[i];
    out->AlignDword();
    out->Dword(0);  // helpID
    out->Dword(0);  // exStyle
    out->Dword(ControlStyle(item));
    out->Word(static_cast<unsigned>(item.x));
    out->Word(static_cast<unsigned>(item.y));
    out->Word(static_cast<unsigned>(item.w));
    out->Word(static_cast<unsigned>(item.h));
    out->Dword(static_cast<DWORD>(item.id));
    out->Word(0xFFFF);
    out->Word(ClassAtom(item.kind));
    out->Text(item.caption ? item.caption : "");
    out->Word(0);  // no creation data
  }
}

// The restored outer rectangle from the placement, which gives it in
// work-area coordinates, moved into screen coordinates.
CRect PlacementInScreen(HWND hWnd) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(hWnd, &placement)) return CRect();
  if (GetWindowLongPtrW(hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) {
    return ToCRect(placement.rcNormalPosition);  // tool windows' are in screen coordinates
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    return ToCRect(placement.rcNormalPosition);
  }
  return AfxWin32WorkAreaToScreen(placement.rcNormalPosition, monitor.rcWork, monitor.rcMonitor);
}

// A label whose text is wider than its box may use the empty space to its
// right, up to the next control on its row, rather than cut its last
// characters off (a substitute for the template's font may be wider).
void WidenCutLabels(HWND dialog, const DialogTemplate& tmpl, const std::vector<HWND>& controls) {
  HDC dc = GetDC(dialog);
  if (!dc) return;
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  RECT client{};
  GetClientRect(dialog, &client);
  const auto placement = [dialog](HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  for (size_t i = 0; i < controls.size() && i < tmpl.itemCount; ++i) {
    if (tmpl.items[i].kind != ControlKind::kLabel) continue;
    const std::wstring text = Wide(tmpl.items[i].caption ? tmpl.items[i].caption : "");
    SIZE extent{};
    if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent)) continue;
    const RECT box = placement(controls[i]);
    const LONG needed = extent.cx + 1;
    if (needed <= box.right - box.left) continue;
    LONG limit = client.right;
    for (size_t j = 0; j < controls.size() && j < tmpl.itemCount; ++j) {
      if (j == i || tmpl.items[j].kind == ControlKind::kGroupBox) continue;
      const RECT r = placement(controls[j]);
      if (r.left >= box.right && r.top < box.bottom && r.bottom > box.top && r.left < limit) {
        limit = r.left;
      }
    }
    const LONG width = std::min(needed, limit - box.left);
    MoveWindow(controls[i], box.left, box.top, width, box.bottom - box.top, FALSE);
  }
  SelectObject(dc, previous);
  ReleaseDC(dialog, dc);
}

int g_waitDepth = 0;
HCURSOR g_cursorBeforeWait = nullptr;

}  // namespace

std::wstring AfxWin32Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  }
  return wide;
}

std::string AfxWin32Utf8(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &utf8[0], n, nullptr, nullptr);
  }
  return utf8;
}

CRect AfxWin32WorkAreaToScreen(const RECT& rect, const RECT& workArea, const RECT& monitor) {
  RECT r = rect;
  OffsetRect(&r, workArea.left - monitor.left, workArea.top - monitor.top);
  return ToCRect(r);
}

void AfxWin32HandleQueued(MSG* msg) {
  if (CDialog* dialog = DialogOfTarget(msg->hwnd)) {
    if (dialog->PreTranslateMessage(msg)) return;
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
}

void AfxWin32DrainQueue() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    AfxWin32HandleQueued(&msg);
  }
}

namespace afxbackend {

void SetOwner(HWND hWnd, CWnd* pWnd) {
  if (pWnd) {
    SetPropW(hWnd, kOwnerProp, static_cast<HANDLE>(pWnd));
  } else {
    RemovePropW(hWnd, kOwnerProp);
  }
}

CWnd* OwnerOf(HWND hWnd) { return static_cast<CWnd*>(GetPropW(hWnd, kOwnerProp)); }

int ControlId(HWND hWnd) { return GetDlgCtrlID(hWnd); }

void Enable(HWND hWnd, bool enable) { ::EnableWindow(hWnd, enable ? TRUE : FALSE); }
bool IsEnabled(HWND hWnd) { return ::IsWindowEnabled(hWnd) != FALSE; }
bool IsVisible(HWND hWnd) { return ::IsWindowVisible(hWnd) != FALSE; }
bool IsMinimized(HWND hWnd) { return ::IsIconic(hWnd) != FALSE; }

void SetText(HWND hWnd, const std::string& text) { ::SetWindowTextW(hWnd, Wide(text).c_str()); }

std::string Text(HWND hWnd) {
  const int length = ::GetWindowTextLengthW(hWnd);
  if (length <= 0) return std::string();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int n = ::GetWindowTextW(hWnd, &text[0], length + 1);
  return Utf8(text.c_str(), static_cast<size_t>(n > 0 ? n : 0));
}

CRect OuterRect(HWND hWnd) {
  RECT r{};
  ::GetWindowRect(hWnd, &r);
  return ToCRect(r);
}

CRect ClientRect(HWND hWnd) {
  RECT r{};
  ::GetClientRect(hWnd, &r);
  return ToCRect(r);
}

void Move(HWND hWnd, int x, int y, int width, int height, bool repaint) {
  ::MoveWindow(hWnd, x, y, width, height, repaint ? TRUE : FALSE);
}

void PlaceTopLevel(HWND hWnd, int x, int y, int cx, int cy, bool show) {
  ::SetWindowPos(hWnd, HWND_TOP, x, y, cx, cy, show ? SWP_SHOWWINDOW : 0);
}

CRect NormalOuterRect(HWND hWnd) {
  if (::IsIconic(hWnd) || ::IsZoomed(hWnd)) return PlacementInScreen(hWnd);
  return OuterRect(hWnd);
}

void Focus(HWND hWnd) {
  HWND root = GetAncestor(hWnd, GA_ROOT);
  // Within a dialog, as the dialog manager moves the focus (the default
  // push button follows it).
  if (root != hWnd && DialogOf(root)) {
    SendMessageW(root, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hWnd), TRUE);
  } else {
    ::SetFocus(hWnd);
  }
}

HWND FocusedWindow() {
  for (HWND w = ::GetFocus(); w; w = GetParent(w)) {
    if (OwnerOf(w)) return w;
  }
  return nullptr;
}

void SetWindowIcon(HWND hWnd, HICON icon, bool big) {
  SendMessageW(hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

HWND ChildById(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }

int ComboAdd(HWND hWnd, const std::string& text) {
  const std::wstring wide = Wide(text);
  return static_cast<int>(
      SendMessageW(hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

void ComboSelect(HWND hWnd, int index) {
  const int count = ComboCount(hWnd);
  SendMessageW(hWnd, CB_SETCURSEL,
               index >= 0 && index < count ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1),
               0);
}

int ComboSelection(HWND hWnd) { return static_cast<int>(SendMessageW(hWnd, CB_GETCURSEL, 0, 0)); }
int ComboCount(HWND hWnd) { return static_cast<int>(SendMessageW(hWnd, CB_GETCOUNT, 0, 0)); }

std::string ComboText(HWND hWnd, int index) {
  const LRESULT length = SendMessageW(hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return std::string();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT n = SendMessageW(hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(&text[0]));
  return n > 0 ? Utf8(text.c_str(), static_cast<size_t>(n)) : std::string();
}

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

int CheckState(HWND hWnd) { return static_cast<int>(SendMessageW(hWnd, BM_GETCHECK, 0, 0)); }

void SetCheckState(HWND hWnd, int state) {
  SendMessageW(hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

HWND CreateDialogWindow(CDialog* dialog, const DialogTemplate& tmpl, HWND parent,
                        std::vector<HWND>* controls) {
  InitControlClasses();
  TemplateWriter writer;
  WriteTemplate(tmpl, &writer);
  auto state = std::make_unique<DialogState>();
  state->dialog = dialog;
  state->showWhenRun = (tmpl.style & WS_VISIBLE) != 0;
  HWND hWnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), writer.Data(), parent,
                                         DialogProc, reinterpret_cast<LPARAM>(state.get()));
  if (!hWnd) return nullptr;
  // The dialog manager creates the controls in template order, each below
  // the one before.
  for (HWND child = GetWindow(hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    controls->push_back(child);
  }
  for (size_t i = 0; i < controls->size() && i < tmpl.itemCount; ++i) {
    HWND control = (*controls)[i];
    if (tmpl.items[i].kind == ControlKind::kEdit) {
      SetWindowSubclass(control, EditProc, kEditSubclassId, 0);
    } else if (tmpl.items[i].kind == ControlKind::kDropList) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (GetComboBoxInfo(control, &info) && info.hwndList) {
        SetWindowSubclass(info.hwndList, ListProc, kListSubclassId,
                          reinterpret_cast<DWORD_PTR>(control));
      }
    }
  }
  WidenCutLabels(hWnd, tmpl, *controls);
  state.release();  // the window's from here on; freed at its WM_NCDESTROY
  return hWnd;
}

void DestroyDialogWindow(HWND hWnd) { DestroyWindow(hWnd); }

void FocusFirstTabStop(HWND dialog) {
  if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) Focus(first);
}

void RunModalLoop(HWND hWnd) {
  DialogState* state = StateOf(hWnd);
  if (!state) return;
  HWND owner = GetWindow(hWnd, GW_OWNER);
  if (owner && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    state->disabledOwner = owner;
  }
  if (state->showWhenRun && !::IsWindowVisible(hWnd)) ShowWindow(hWnd, SW_SHOW);
  MSG msg;
  while (!state->dialog->IsEnded()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
      break;
    }
    if (got == -1) break;
    AfxWin32HandleQueued(&msg);
  }
  if (state->disabledOwner) {
    ::EnableWindow(state->disabledOwner, TRUE);
    state->disabledOwner = nullptr;
  }
}

void EndModalLoop(HWND hWnd, int) {
  // The owner takes input again before the dialog goes, so that the system
  // activates it and not some other program's window.
  if (DialogState* state = StateOf(hWnd); state && state->disabledOwner) {
    ::EnableWindow(state->disabledOwner, TRUE);
    state->disabledOwner = nullptr;
  }
  ShowWindow(hWnd, SW_HIDE);
  PostMessageW(hWnd, WM_NULL, 0, 0);  // wakes the loop to see the end
}

bool HandleDialogKey(CDialog* dialog, MSG* msg) {
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
  return IsDialogMessageW(dialog->m_hWnd, msg) != FALSE;
}

HICON LoadIconResource(int id) {
  return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

void BeginWaitCursor() {
  if (g_waitDepth++ == 0) g_cursorBeforeWait = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void EndWaitCursor() {
  if (g_waitDepth > 0 && --g_waitDepth == 0) SetCursor(g_cursorBeforeWait);
}

HDC BeginIconPaint(HWND hWnd) {
  DialogState* state = StateOf(hWnd);
  return state ? BeginPaint(hWnd, &state->paint) : nullptr;
}

void EndIconPaint(HWND hWnd, HDC) {
  if (DialogState* state = StateOf(hWnd)) EndPaint(hWnd, &state->paint);
}

void DrawIconAt(HDC dc, int x, int y, HICON icon) {
  if (dc && icon) ::DrawIcon(dc, x, y, icon);
}

void EraseIconBackground(HWND hWnd, HDC dc) {
  SendMessageW(hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
}

int SystemMetric(int index) { return GetSystemMetrics(index); }

CRect WorkArea() {
  RECT r{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return CRect();
  return ToCRect(r);
}

// The primary display's top-left corner is the origin of the screen
// coordinates.
CPoint ScreenOrigin() { return CPoint(0, 0); }

int ShowMessageBox(const MessageBoxRequest& request) {
  std::string text = request.text;
  // The system box has no second text area: the detail follows the text.
  if (!request.detail.empty()) text += "\r\n\r\n" + request.detail;
  HWND owner = request.owner ? request.owner->m_hWnd : nullptr;
  return MessageBoxW(owner, Wide(text).c_str(), Wide(request.caption).c_str(), request.type);
}

int RunEventLoop() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) AfxWin32HandleQueued(&msg);
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

}  // namespace afxbackend
