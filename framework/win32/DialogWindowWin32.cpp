// Dialog windows on Win32: a real dialog window, created with
// CreateDialogIndirectParamW from an extended template that is written in
// memory from the program's template table. The dialog procedure hands
// WM_COMMAND, WM_CLOSE, WM_PAINT and WM_QUERYDRAGICON to the message map.
// The framework object attached to a window is a window property; each
// dialog carries its state record from creation to destruction.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "AfxWin32.h"
#include "BackendWin32.h"
#include "LabelLayout.h"

using namespace afxwin32;

namespace {

void InitControlClasses() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  done = true;
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
    EndModalLoopsOnDestroy(hWnd);
    // The object no longer has a window (unless it is the one destroying it,
    // which has let go already).
    if (CWnd* object = afxbackend::OwnerOf(hWnd); object && object->m_hWnd == hWnd)
      object->Detach();
    RemovePropW(hWnd, kOwnerProp);
    if (state && state->tipWindow && IsWindow(state->tipWindow)) DestroyWindow(state->tipWindow);
    if (state) ForgetAnnotations(*state);
    return FALSE;
  }
  CDialog* dialog = DialogOf(hWnd);
  if (!dialog || dialog->m_hWnd != hWnd) return FALSE;
  return AfxFenced<INT_PTR>(dialog, TRUE, [&]() -> INT_PTR {
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
  });
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
    for (const wchar_t c : ToWide(utf8)) Word(c);
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

// Labels measured in the dialog's font; the rule of how far they widen is
// the framework's.
void WidenLabels(HWND dialog, const DialogTemplate& tmpl, const std::vector<HWND>& controls) {
  HDC dc = GetDC(dialog);
  if (!dc) return;
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
  RECT client{};
  GetClientRect(dialog, &client);
  const size_t count = std::min(controls.size(), tmpl.itemCount);
  std::vector<LaidOutControl> laidOut(count);
  for (size_t i = 0; i < count; ++i) {
    RECT r{};
    GetWindowRect(controls[i], &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    laidOut[i].rect = CRect(r.left, r.top, r.right, r.bottom);
    laidOut[i].isFrame = tmpl.items[i].kind == ControlKind::kGroupBox;
    if (tmpl.items[i].kind != ControlKind::kLabel) continue;
    const std::wstring text = ToWide(tmpl.items[i].caption ? tmpl.items[i].caption : "");
    SIZE extent{};
    if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent)) continue;
    laidOut[i].isLabel = true;
    laidOut[i].textWidth = extent.cx;
  }
  SelectObject(dc, previous);
  ReleaseDC(dialog, dc);
  const std::vector<CRect> placed = WidenCutLabels(laidOut, client.right);
  for (size_t i = 0; i < count; ++i) {
    if (!laidOut[i].isLabel || placed[i] == laidOut[i].rect) continue;
    MoveWindow(controls[i], placed[i].left, placed[i].top, placed[i].Width(), placed[i].Height(),
               FALSE);
  }
}

int g_waitDepth = 0;
HCURSOR g_cursorBeforeWait = nullptr;

}  // namespace

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

void SetText(HWND hWnd, const std::string& text) {
  ::SetWindowTextW(hWnd, ToWide(text).c_str());
  AnnounceIfStatusLine(hWnd);
}

std::string Text(HWND hWnd) {
  const int length = ::GetWindowTextLengthW(hWnd);
  if (length <= 0) return std::string();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int n = ::GetWindowTextW(hWnd, &text[0], length + 1);
  return ToUtf8(text.c_str(), static_cast<size_t>(n > 0 ? n : 0));
}

void Move(HWND hWnd, int x, int y, int width, int height, bool repaint) {
  ::MoveWindow(hWnd, x, y, width, height, repaint ? TRUE : FALSE);
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
  const std::wstring wide = ToWide(text);
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
  return n > 0 ? ToUtf8(text.c_str(), static_cast<size_t>(n)) : std::string();
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
    } else if (tmpl.items[i].kind == ControlKind::kSunkenLabel) {
      MarkStatusLine(control);
    } else if (tmpl.items[i].kind == ControlKind::kDropList) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (GetComboBoxInfo(control, &info) && info.hwndList) {
        SetWindowSubclass(info.hwndList, ListProc, kListSubclassId,
                          reinterpret_cast<DWORD_PTR>(control));
      }
    }
  }
  WidenLabels(hWnd, tmpl, *controls);
  state.release();  // the window's from here on; freed at its WM_NCDESTROY
  return hWnd;
}

void DestroyDialogWindow(HWND hWnd) { DestroyWindow(hWnd); }

void FocusFirstTabStop(HWND dialog) {
  if (HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE)) Focus(first);
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

}  // namespace afxbackend
