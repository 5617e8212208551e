// What the Win32 backend must get right that only the system shows: the
// window the in-memory template makes (system classes, font, size in
// dialog units), the modal loop's order (key filter before the dialog
// manager), the restored rectangle of a minimised window in screen
// coordinates, the system message box, and what screen readers are told.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "AfxDialog.h"
#include "AfxServices.h"
#include "AfxWin32.h"
#include "AnnotationCallsWin32.h"
#include "CEditValue.h"
#include "DialogDriver.h"
#include "FieldDialog.h"
#include "MainDialogTemplate.h"
#include "WideTextWin32.h"

namespace {

using win32::Utf8;

std::wstring ClassOf(HWND hWnd) {
  wchar_t name[32] = {};
  GetClassNameW(hWnd, name, 32);
  return name;
}

const wchar_t* SystemClassOf(ControlKind kind) {
  if (kind == ControlKind::kDropList) return L"ComboBox";
  if (kind == ControlKind::kEdit) return L"Edit";
  if (kind == ControlKind::kLabel || kind == ControlKind::kSunkenLabel) return L"Static";
  return L"Button";
}

// The main window's template, without the program's logic around it.
class CBareMainDlg : public CDialog {
 public:
  CBareMainDlg() : CDialog(IDD_MAIN_DIALOG) {}
};

TEST(Win32Template, MakesOneControlOfTheSystemClassPerEntryInTheDialogFont) {
  CBareMainDlg dialog;
  ASSERT_TRUE(dialog.Create());
  HWND hWnd = dialog.GetSafeHwnd();
  size_t i = 0;
  for (HWND child = GetWindow(hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT), ++i) {
    ASSERT_LT(i, kMainDialog.itemCount);
    const DialogItem& item = kMainDialog.items[i];
    SCOPED_TRACE(item.caption);
    EXPECT_EQ(GetDlgCtrlID(child), item.id);
    EXPECT_EQ(lstrcmpiW(ClassOf(child).c_str(), SystemClassOf(item.kind)), 0);
  }
  EXPECT_EQ(i, kMainDialog.itemCount);

  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hWnd, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, L"ＭＳ ゴシック");

  // The client area is the template's size in the dialog's own units.
  RECT units = {0, 0, kMainDialog.cx, kMainDialog.cy};
  MapDialogRect(hWnd, &units);
  CRect client;
  dialog.GetClientRect(&client);
  EXPECT_EQ(client, CRect(0, 0, units.right, units.bottom));
}

// A dialog whose initialisation queues what a user would do: its key filter
// records what it sees before the dialog manager acts.
class CQueuedInputDlg : public CDialog {
 public:
  CQueuedInputDlg() : CDialog(kFieldDialog) {}
  std::string m_strSeen;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    HWND edit = ::GetDlgItem(m_hWnd, kFieldId);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);  // the filter drops it: no IDOK
    PostMessageW(edit, WM_CHAR, '5', 1);
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    return TRUE;
  }
  BOOL PreTranslateMessage(MSG* pMsg) override {
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
      m_strSeen += "enter ";
      return TRUE;
    }
    if (pMsg->message == WM_CHAR) m_strSeen += "char ";
    if (pMsg->message == WM_CLOSE) m_strSeen += "close ";
    return CDialog::PreTranslateMessage(pMsg);
  }
};

TEST(Win32ModalLoop, EveryQueuedMessageMeetsTheKeyFilterFirst) {
  CQueuedInputDlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.m_strSeen, "enter char close ");
  EXPECT_FALSE(dialog.IsWindowVisible());
  EXPECT_EQ(dialog.GetDlgItem(kFieldId)->GetWindowTextString(), "5");
}

TEST(Win32Placement, RestoredRectangleOfAMinimisedWindowIsInScreenCoordinates) {
  CFieldDlg dialog;
  ASSERT_TRUE(dialog.Create());
  CRect shown;
  dialog.GetWindowRect(&shown);
  dialog.SetWindowPos(130, 70, shown.Width(), shown.Height(), SWP_SHOWWINDOW);
  CRect placed;
  dialog.GetWindowRect(&placed);
  EXPECT_EQ(placed, CRect(130, 70, 130 + shown.Width(), 70 + shown.Height()));

  ShowWindow(dialog.GetSafeHwnd(), SW_MINIMIZE);
  ASSERT_TRUE(dialog.IsIconic());
  CRect normal;
  dialog.GetNormalPosition(&normal);
  EXPECT_EQ(normal, placed);
}

// The restored rectangle comes in work-area coordinates: a task bar at the
// top or left of the display shifts it by the bar's size.
TEST(Win32Placement, WorkAreaCoordinatesBecomeScreenCoordinates) {
  const struct {
    const char* name;
    LONG left;  // of the placement as it comes: 400 x 283 from top 70
    RECT work;
    RECT monitor;
    CPoint expected;  // the top-left on the screen
  } cases[] = {
      {"task bar at the bottom", 130, {0, 0, 1280, 984}, {0, 0, 1280, 1024}, {130, 70}},
      {"task bar at the top", 130, {0, 40, 1280, 1024}, {0, 0, 1280, 1024}, {130, 110}},
      {"task bar at the left", 130, {60, 0, 1280, 1024}, {0, 0, 1280, 1024}, {190, 70}},
      {"left display, bar on top", -1790, {-1920, 30, 0, 1080}, {-1920, 0, 0, 1080}, {-1790, 100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RECT placed = {c.left, 70, c.left + 400, 353};
    EXPECT_EQ(AfxWin32WorkAreaToScreen(placed, c.work, c.monitor),
              CRect(c.expected.x, c.expected.y, c.expected.x + 400, c.expected.y + 283));
  }
}

// The box, found as it opens (a hook on this thread) and answered by its
// Cancel button: every text in it, control by control.
struct SeenBox {
  std::wstring caption;
  std::vector<std::wstring> texts;
  bool hasCancel = false;
};
SeenBox g_seen;
HHOOK g_hook = nullptr;
HWND g_owner = nullptr;

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
  HWND box = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && box != g_owner && GetWindow(box, GW_OWNER) == g_owner) {
    wchar_t text[512] = {};
    GetWindowTextW(box, text, 512);
    g_seen.caption = text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM) -> BOOL {
          wchar_t childText[512] = {};
          if (GetWindowTextW(child, childText, 512) > 0) g_seen.texts.push_back(childText);
          return TRUE;
        },
        0);
    g_seen.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

bool Holds(const std::vector<std::wstring>& texts, const std::wstring& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// With a detail the box is a task dialog that folds the detail under its
// own control; without one it is the system's box.
TEST(Win32MessageBox, ShowsCaptionTextAndDetailAndReturnsTheButton) {
  CFieldDlg dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.SetWindowPos(0, 0, 200, 100, SWP_SHOWWINDOW);
  g_owner = dialog.GetSafeHwnd();
  for (const char* detail : {"詳細: COM3", ""}) {
    SCOPED_TRACE(detail);
    g_seen = SeenBox{};
    g_hook = SetWindowsHookExW(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
    ASSERT_NE(g_hook, nullptr);
    const int answer =
        AfxSystemMessageBoxes().AppMessageBox(&dialog, "終了しますか？", MB_OKCANCEL, detail);
    UnhookWindowsHookEx(g_hook);
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(Utf8(g_seen.caption), AfxGetAppName());
    EXPECT_TRUE(Holds(g_seen.texts, L"終了しますか？"));
    EXPECT_EQ(Holds(g_seen.texts, L"詳細: COM3"), detail[0] != '\0');
    EXPECT_EQ(Holds(g_seen.texts, L"詳細の表示"), detail[0] != '\0');
    EXPECT_TRUE(g_seen.hasCancel);
  }
}

// A box asked for over a window that is not shown yet (the settings
// folder's boxes, during the main window's initialisation) opens on its own
// and on top, not owned by the hidden window.
struct LoneBox {
  HWND box = nullptr;
  HWND owner = nullptr;
  LONG_PTR exStyle = 0;
};
LoneBox g_lone;

LRESULT CALLBACK WatchLoneBox(int code, WPARAM wParam, LPARAM lParam) {
  HWND box = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && box != g_owner && ClassOf(box) == L"#32770") g_lone.box = box;
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

// Runs in the box's own loop, once the box has finished opening.
void CALLBACK InspectLoneBox(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_lone.box || !IsWindow(g_lone.box)) return;
  g_lone.owner = GetWindow(g_lone.box, GW_OWNER);
  g_lone.exStyle = GetWindowLongPtrW(g_lone.box, GWL_EXSTYLE);
  PostMessageW(g_lone.box, WM_COMMAND, IDOK, 0);
}

TEST(Win32MessageBox, BoxOverAHiddenWindowIsOnItsOwnAndOnTop) {
  CFieldDlg dialog;
  ASSERT_TRUE(dialog.Create());
  ASSERT_FALSE(dialog.IsWindowVisible());
  g_owner = dialog.GetSafeHwnd();
  g_lone = LoneBox{};
  g_hook = SetWindowsHookExW(WH_CBT, WatchLoneBox, nullptr, GetCurrentThreadId());
  ASSERT_NE(g_hook, nullptr);
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, InspectLoneBox);
  const int answer = AfxSystemMessageBoxes().WindowMessageBox(&dialog, "フォルダ", MB_OK);
  KillTimer(nullptr, timer);
  UnhookWindowsHookEx(g_hook);
  EXPECT_EQ(answer, IDOK);
  ASSERT_NE(g_lone.box, nullptr);
  EXPECT_EQ(g_lone.owner, nullptr);
  EXPECT_NE(g_lone.exStyle & WS_EX_TOPMOST, 0);
}

// A handler that destroys the window while the modal loop runs: the loop
// ends with the window, gives the owner its input back, and DoModal
// returns. A timer bounds the wait: a loop that does not see the end would
// otherwise wait for ever.
class CSelfDestroyingDlg : public CDialog {
 public:
  explicit CSelfDestroyingDlg(CWnd* pParent) : CDialog(kFieldDialog, pParent) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    return TRUE;
  }
  const AFX_MSGMAP* GetMessageMap() const override {
    static const AFX_MSGMAP_ENTRY entries[] = {ON_WM_CLOSE(&CSelfDestroyingDlg::OnClose),
                                               END_MESSAGE_MAP};
    static const AFX_MSGMAP map = {CDialog::GetThisMessageMap(), entries};
    return &map;
  }

 private:
  void OnClose() { ::DestroyWindow(m_hWnd); }
};

bool g_gaveUp = false;

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) {
  g_gaveUp = true;
  PostQuitMessage(0);
}

TEST(Win32ModalLoop, WindowDestroyedUnderTheLoopEndsIt) {
  CFieldDlg owner;
  ASSERT_TRUE(owner.Create());
  owner.SetWindowPos(0, 0, 200, 100, SWP_SHOWWINDOW);
  g_gaveUp = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10000, GiveUp);
  CSelfDestroyingDlg dialog(&owner);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  KillTimer(nullptr, timer);
  EXPECT_FALSE(g_gaveUp) << "the loop went on after its window was destroyed";
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_TRUE(owner.IsWindowEnabled());
  MSG quit;
  PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// Alt+F4 is a close request like the caption's button: it reaches the
// dialog as WM_CLOSE through the key filter and the dialog manager.
class CCloseCountingDlg : public CFieldDlg {
 public:
  int m_nCloses = 0;

 protected:
  const AFX_MSGMAP* GetMessageMap() const override {
    static const AFX_MSGMAP_ENTRY entries[] = {ON_WM_CLOSE(&CCloseCountingDlg::OnClose),
                                               END_MESSAGE_MAP};
    static const AFX_MSGMAP map = {CDialog::GetThisMessageMap(), entries};
    return &map;
  }

 private:
  void OnClose() { ++m_nCloses; }
};

TEST(Win32Keys, AltF4IsACloseRequest) {
  CCloseCountingDlg dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.SetWindowPos(0, 0, 200, 100, SWP_SHOWWINDOW);
  CDialogDriver driver(dialog);
  driver.PressKey(kFieldId, VK_F4, true);
  EXPECT_EQ(dialog.m_nCloses, 1);
  driver.PressKey(kFieldId, VK_F4);  // without Alt, nothing
  EXPECT_EQ(dialog.m_nCloses, 1);
  EXPECT_FALSE(dialog.IsEnded());
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(no clipboard)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool SetClipboardText(const std::wstring& text) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool done = false;
  if (data) {
    std::memcpy(GlobalLock(data), text.c_str(), bytes);
    GlobalUnlock(data);
    done = SetClipboardData(CF_UNICODETEXT, data) != nullptr;
    if (!done) GlobalFree(data);
  }
  CloseClipboard();
  return done;
}

// Ctrl+C, V, X and Z reach the field as the characters 3, 22, 24 and 26 and
// are dropped there, so nothing is copied, pasted over, cut or undone.
TEST(Win32Edit, ClipboardAndUndoKeysDoNothingInTheField) {
  ASSERT_TRUE(SetClipboardText(L"99"));
  ASSERT_EQ(ClipboardText(), L"99");
  CFieldDlg dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.m_edit.m_nMaxChars = 3;
  CDialogDriver driver(dialog);
  for (const char* key : {"\x03", "\x16", "\x18", "\x1a"}) {
    SCOPED_TRACE(static_cast<int>(key[0]));
    driver.SetText(kFieldId, "12");
    driver.Type(kFieldId, "3");  // gives undo something to undo
    driver.SelectAll(kFieldId);
    driver.Type(kFieldId, key);
    EXPECT_EQ(driver.Text(kFieldId), "123");
    EXPECT_EQ(ClipboardText(), L"99");
  }
}

// The driver's keys reach a plain edit as the characters they stand for, so
// the field's suite sees each character its filter drops.
TEST(Win32Driver, TypesEveryCharacterIntoAPlainEdit) {
  CDialog dialog(kFieldDialog);  // without the field's filter
  ASSERT_TRUE(dialog.Create());
  CDialogDriver driver(dialog);
  driver.Type(kFieldId, "a-Z9 日本\b.");
  EXPECT_EQ(driver.Text(kFieldId), "a-Z9 日.");
  driver.Commit(kFieldId, "１か");
  EXPECT_EQ(driver.Text(kFieldId), "a-Z9 日.１か");
}

// An entry's hint shows while the pointer rests on it in the opened list,
// and goes with the pointer and with the list.
TEST(Win32List, OpenedListShowsTheHintOfTheEntryUnderThePointer) {
  CBareMainDlg dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.SetWindowPos(0, 0, 500, 400, SWP_SHOWWINDOW);
  auto* list = static_cast<CComboBox*>(dialog.GetDlgItem(IDC_COMBO_COMPORT));
  for (const char* text : {"COM1", "COM2", "COM3"}) list->AddString(text);
  list->SetItemTip(1, "/dev/ttyUSB0 (FT232R)");
  CDialogDriver driver(dialog);
  driver.OpenList(IDC_COMBO_COMPORT);
  ASSERT_TRUE(driver.IsListOpen(IDC_COMBO_COMPORT));

  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(list->GetSafeHwnd(), &info));
  const auto pointAt = [&](int index) {
    RECT item{};
    SendMessageW(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    SendMessageW(info.hwndList, WM_MOUSEMOVE, 0, MAKELPARAM(item.left + 2, item.top + 2));
  };
  const auto shownTip = [&]() -> std::wstring {
    HWND tip = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
    while (tip && GetParent(tip) != dialog.GetSafeHwnd() &&
           GetWindow(tip, GW_OWNER) != dialog.GetSafeHwnd()) {
      tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr);
    }
    if (!tip || !IsWindowVisible(tip)) return L"(none)";
    wchar_t text[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = dialog.GetSafeHwnd();
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    return text;
  };
  pointAt(1);
  EXPECT_EQ(shownTip(), L"/dev/ttyUSB0 (FT232R)");
  pointAt(2);
  EXPECT_EQ(shownTip(), L"(none)");
  pointAt(1);
  driver.CloseList(IDC_COMBO_COMPORT);
  EXPECT_EQ(shownTip(), L"(none)");
}

}  // namespace

// ---- Screen readers -----------------------------------------------------------
//
// Wine's annotation service takes nothing, so what the backend asks of it is
// read from a stand-in table; what Wine's own accessible objects answer is
// read through oleacc.

struct Annotated {
  HWND hWnd;
  std::string what;  // "name", "description", "live"
  std::wstring text;
  bool operator==(const Annotated& o) const {
    return hWnd == o.hWnd && what == o.what && text == o.text;
  }
};
std::vector<Annotated> g_annotated;
std::vector<HWND> g_announced;
std::vector<HWND> g_forgotten;

std::string PropertyName(const GUID& property) {
  if (IsEqualGUID(property, kAnnotationName)) return "name";
  if (IsEqualGUID(property, kAnnotationDescription)) return "description";
  if (IsEqualGUID(property, kAnnotationLiveSetting)) return "live";
  return "?";
}

const AnnotationCalls kRecordingCalls = {
    [](HWND hWnd, const GUID& property, const wchar_t* text) -> HRESULT {
      g_annotated.push_back({hWnd, PropertyName(property), text});
      return S_OK;
    },
    [](HWND hWnd, const GUID& property, int value) -> HRESULT {
      g_annotated.push_back({hWnd, PropertyName(property), std::to_wstring(value)});
      return S_OK;
    },
    [](HWND hWnd, const GUID*, int) -> HRESULT {
      g_forgotten.push_back(hWnd);
      return S_OK;
    },
    [](DWORD event, HWND hWnd, LONG idObject, LONG idChild) {
      if (event == kEventLiveRegionChanged && idObject == OBJID_CLIENT && idChild == CHILDID_SELF)
        g_announced.push_back(hWnd);
    }};

class CLabelledMainDlg : public CDialog {
 public:
  explicit CLabelledMainDlg(std::vector<AFX_CONTROL_LABEL> labels)
      : CDialog(IDD_MAIN_DIALOG), m_labels(std::move(labels)) {}
  BOOL m_bAllTied = FALSE;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    m_bAllTied = SetControlLabels(m_labels.data(), m_labels.size());
    return TRUE;
  }

 private:
  std::vector<AFX_CONTROL_LABEL> m_labels;
};

class Win32Accessibility : public ::testing::Test {
 protected:
  void SetUp() override {
    g_annotated.clear();
    g_announced.clear();
    g_forgotten.clear();
    UseAnnotationCalls(&kRecordingCalls);
  }
  void TearDown() override { UseAnnotationCalls(nullptr); }
};

TEST_F(Win32Accessibility, ControlsAreNamedAndDescribedByTheirLabelsAndForgottenWithTheWindow) {
  std::vector<HWND> told;
  {
    // A group box's caption names the list inside it; a caption the
    // template lacks ties nothing but leaves the others tied.
    CLabelledMainDlg dialog({{IDC_COMBO_COMPORT, "COMポート", nullptr},
                             {IDC_EDIT_CHANNEL, "チャネル", "(7～46)"},
                             {IDC_EDIT_ID, "ID", "(0～99)"},
                             {IDC_EDIT_RETRY_INTERVAL, "リトライ間隔[msec]", "(0～32767)"}});
    ASSERT_TRUE(dialog.Create());
    EXPECT_FALSE(dialog.m_bAllTied);
    auto item = [&](int id) { return ::GetDlgItem(dialog.GetSafeHwnd(), id); };
    const std::vector<Annotated> expected = {
        {item(IDC_STATIC_VERSION), "live", L"1"},
        {item(IDC_COMBO_COMPORT), "name", L"COMポート"},
        {item(IDC_EDIT_CHANNEL), "name", L"チャネル"},
        {item(IDC_EDIT_CHANNEL), "description", L"(7～46)"},
        {item(IDC_EDIT_ID), "name", L"ID"},
        {item(IDC_EDIT_RETRY_INTERVAL), "name", L"リトライ間隔[msec]"},
        {item(IDC_EDIT_RETRY_INTERVAL), "description", L"(0～32767)"},
    };
    EXPECT_EQ(g_annotated, expected);
    told = {item(IDC_STATIC_VERSION), item(IDC_COMBO_COMPORT), item(IDC_EDIT_CHANNEL),
            item(IDC_EDIT_ID), item(IDC_EDIT_RETRY_INTERVAL)};

    // Only the status line's changes are announced, each of them.
    dialog.GetDlgItem(IDC_EDIT_ID)->SetWindowText("3");
    dialog.GetDlgItem(IDC_STATIC_VERSION)->SetWindowText("ファームウェアバージョン V1");
    dialog.GetDlgItem(IDC_STATIC_VERSION)->SetWindowText("");
    EXPECT_EQ(g_announced, std::vector<HWND>(2, item(IDC_STATIC_VERSION)));
    EXPECT_TRUE(g_forgotten.empty());
  }
  std::sort(told.begin(), told.end());
  std::sort(g_forgotten.begin(), g_forgotten.end());
  EXPECT_EQ(g_forgotten, told);
}

// IAccessible's id, spelled out: the one the import library gives does not
// match it.
const IID kAccessibleInterface = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// What Wine's own accessible objects say: a button and a check box by their
// captions. An edit or a list has no name there (neither from the static
// text before it nor from the annotation), and nothing has a description,
// so those are read only from the table above.
TEST_F(Win32Accessibility, ButtonsAreNamedByTheirCaptionsThroughOleacc) {
  UseAnnotationCalls(nullptr);  // the system's service, which must take the calls quietly
  CLabelledMainDlg dialog({{IDC_EDIT_CHANNEL, "チャネル", "(7～46)"}});
  ASSERT_TRUE(dialog.Create());
  EXPECT_TRUE(dialog.m_bAllTied);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  for (const auto& [id, caption] : {std::pair<int, std::wstring>{IDC_BUTTON_CONNECT, L"接続"},
                                    {IDC_CHECK_INFINITE_RETRY, L"無限リトライ"}}) {
    IAccessible* object = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(::GetDlgItem(dialog.GetSafeHwnd(), id), OBJID_CLIENT,
                                         kAccessibleInterface, reinterpret_cast<void**>(&object)),
              S_OK);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(object->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name ? name : L""), caption);
    SysFreeString(name);
    object->Release();
  }
}
