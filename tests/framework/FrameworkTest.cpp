// The dialog framework's own rules, on a small test dialog: message maps
// (derived entries first, Default() for the platform's handling), the
// close request, the data exchange, texts cut on character boundaries, the
// application box's icon rule, how far cut labels widen and the application
// name.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "AfxDialog.h"
#include "DialogDriver.h"
#include "LabelLayout.h"

namespace {

constexpr int kButton = 10;
constexpr int kCheck = 11;
constexpr int kList = 12;
constexpr int kLabel = 13;
constexpr DialogItem kItems[] = {
    {kButton, "IDC_B", ControlKind::kPushButton, "押す", 5, 5, 40, 15, 0x50010000u},
    {kCheck, "IDC_C", ControlKind::kCheckBox, "check", 5, 25, 40, 10, 0x50010003u},
    {kList, "IDC_L", ControlKind::kDropList, "", 50, 5, 40, 60, 0x50210003u},
    {kLabel, "", ControlKind::kLabel, "ラベル", 50, 25, 40, 15, 0x50020200u},
};
constexpr DialogTemplate kTestDialog = {7,           "テスト", "ＭＳ ゴシック", 9,      100, 50,
                                        0x90CA00C0u, 0,        0x0411,          kItems, 4};

class CTestDlg : public CDialog {
 public:
  CTestDlg() : CDialog(kTestDialog) {}

  std::string m_strLog;
  bool m_bAllowClose = false;
  int m_nChecked = 0;
  std::string m_strThrowFrom;  // the handler that throws
  mutable CBoxRecorder m_boxes;

 protected:
  CMessageBoxes& MessageBoxes() const override { return m_boxes; }
  void DoDataExchange(CDataExchange* pDX) override { DDX_Check(pDX, kCheck, m_nChecked); }
  const AFX_MSGMAP* GetMessageMap() const override {
    static const AFX_MSGMAP_ENTRY entries[] = {
        ON_BN_CLICKED(kButton, &CTestDlg::OnButton),
        ON_BN_CLICKED(kCheck, &CTestDlg::OnCheck),
        ON_CBN_SELCHANGE(kList, &CTestDlg::OnList),
        ON_WM_CLOSE(&CTestDlg::OnClose),
        END_MESSAGE_MAP,
    };
    static const AFX_MSGMAP map = {CDialog::GetThisMessageMap(), entries};
    return &map;
  }

 private:
  void OnButton() {
    if (m_strThrowFrom == "button") throw std::runtime_error("button failed");
    m_strLog += "button ";
  }
  void OnCheck() {
    UpdateData(TRUE);
    m_strLog += "check=" + std::to_string(m_nChecked) + " ";
  }
  void OnList() { m_strLog += "list "; }
  void OnClose() {
    if (m_strThrowFrom == "close") throw std::runtime_error("close failed");
    m_strLog += "close ";
    if (m_bAllowClose) CDialog::OnClose();
  }
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.Create());
    m_dialog.SetWindowPos(0, 0, 200, 100, SWP_SHOWWINDOW);
  }
  CTestDlg m_dialog;
  CDialogDriver m_driver{m_dialog};
};

// The check box's handler reads it back through the data exchange, which
// also runs the other way.
TEST_F(FrameworkTest, NotificationsReachTheirHandlersAndDataExchangeRunsBothWays) {
  m_driver.Click(kButton);
  m_driver.Click(kCheck);
  m_driver.Click(kCheck);
  static_cast<CComboBox*>(m_dialog.GetDlgItem(kList))->AddString("a");
  static_cast<CComboBox*>(m_dialog.GetDlgItem(kList))->AddString("b");
  static_cast<CComboBox*>(m_dialog.GetDlgItem(kList))->SetCurSel(1);  // the program's: no notice
  m_driver.Choose(kList, 0);
  EXPECT_EQ(m_dialog.m_strLog, "button check=1 check=0 list ");
  m_dialog.m_nChecked = BST_CHECKED;
  m_dialog.UpdateData(FALSE);
  EXPECT_TRUE(m_driver.IsChecked(kCheck));
}

// Enter and Escape keep the standard handling in a dialog without a key
// filter of its own: Enter on a push button presses it, elsewhere it is OK.
TEST_F(FrameworkTest, StandardKeysPressButtonsAndEndTheDialog) {
  EXPECT_FALSE(m_driver.PressKey(kButton, VK_RETURN));
  EXPECT_EQ(m_dialog.m_strLog, "button ");
  EXPECT_FALSE(m_dialog.IsEnded());
  EXPECT_FALSE(m_driver.PressKey(kCheck, VK_RETURN));
  EXPECT_TRUE(m_dialog.IsEnded());
  EXPECT_EQ(m_dialog.DoModal(), IDOK);

  CTestDlg second;
  second.Create();
  CDialogDriver(second).PressKey(kList, VK_ESCAPE);
  EXPECT_EQ(second.DoModal(), IDCANCEL);
}

// A handler that does not ask for the default keeps the window; one that
// does ends the dialog as Cancel.
TEST_F(FrameworkTest, CloseRequestEndsOnlyWhenTheHandlerSaysSo) {
  m_driver.RequestClose();
  EXPECT_TRUE(m_driver.IsVisible());
  EXPECT_FALSE(m_dialog.IsEnded());
  m_dialog.m_bAllowClose = true;
  m_driver.RequestClose();
  EXPECT_EQ(m_dialog.m_strLog, "close close ");
  EXPECT_FALSE(m_driver.IsVisible());
  EXPECT_EQ(m_dialog.DoModal(), IDCANCEL);
}

// An exception from a handler must not unwind into the window system,
// which would drop it half-way: the dialog ends as IDABORT, later handlers
// of the same dialog cannot end it otherwise, and the failure is told once
// the loop is out.
TEST(FrameworkFailure, AHandlerThatThrowsEndsItsDialogAndIsTold) {
  for (const char* from : {"button", "close"}) {
    SCOPED_TRACE(from);
    CTestDlg dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SetWindowPos(0, 0, 200, 100, SWP_SHOWWINDOW);
    dialog.m_strThrowFrom = from;
    CDialogDriver driver(dialog);
    if (dialog.m_strThrowFrom == "button") {
      driver.Click(kButton);
    } else {
      driver.RequestClose();
    }
    EXPECT_TRUE(dialog.IsEnded());
    EXPECT_TRUE(dialog.m_boxes.m_boxes.empty());  // not while handlers may still run
    dialog.EndDialog(IDOK);
    EXPECT_EQ(dialog.DoModal(), IDABORT);
    ASSERT_EQ(dialog.m_boxes.m_boxes.size(), 1u);
    EXPECT_EQ(dialog.m_boxes.m_boxes[0].text,
              "予期しないエラーが起きたため、ウィンドウを閉じました。");
    EXPECT_EQ(dialog.m_boxes.m_boxes[0].detail, std::string(from) + " failed");
    EXPECT_EQ(dialog.m_boxes.m_boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
  }
}

// A failure before any window procedure runs (the dialog's set-up) ends
// the program with 1 and a box, not with the runtime's abort.
TEST(FrameworkFailure, AStartThatThrowsEndsTheProgramWithABox) {
  class CFailingApp : public CWinApp {
   public:
    BOOL InitInstance() override { throw std::runtime_error("set-up failed"); }
  };
  CBoxRecorder boxes;
  {
    CFailingApp app;
    EXPECT_EQ(AfxRunApplication(&app, boxes), 1);
  }
  ASSERT_EQ(boxes.m_boxes.size(), 1u);
  EXPECT_EQ(boxes.m_boxes[0].detail, "set-up failed");
}

// Texts are UTF-8 inside the program; a buffer too small for the whole
// text gets as many whole characters as fit.
TEST_F(FrameworkTest, WindowTextIsCutBetweenCharacters) {
  const struct {
    int size;
    const char* expected;
  } cases[] = {{0, ""},   {1, ""},     {3, ""},        {4, "テ"},
               {6, "テ"}, {7, "テス"}, {10, "テスト"}, {64, "テスト"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[64] = "untouched";
    const int n = m_dialog.GetWindowText(buffer, c.size);
    if (c.size == 0) {
      EXPECT_EQ(n, 0);
      EXPECT_STREQ(buffer, "untouched");
    } else {
      EXPECT_STREQ(buffer, c.expected);
      EXPECT_EQ(n, static_cast<int>(std::string(c.expected).size()));
    }
  }
}

// Texts from outside (a unit, the file system) are shown as they are.
TEST_F(FrameworkTest, MarkupIsShownAsText) {
  CWnd* label = m_dialog.GetDlgItem(kLabel);
  ASSERT_NE(label, nullptr);
  label->SetWindowText("V<b>1</b> <img src=x>");
  EXPECT_EQ(label->GetWindowTextString(), "V<b>1</b> <img src=x>");
  EXPECT_TRUE(m_driver.IsPlainText(kLabel));
}

TEST(MessageBoxes, AppBoxAddsTheIconTheCallerLeftOut) {
  const struct {
    UINT type;
    UINT shown;
  } cases[] = {
      {MB_OK, MB_OK | MB_ICONEXCLAMATION},
      {MB_OKCANCEL, MB_OKCANCEL | MB_ICONEXCLAMATION},
      {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
      {MB_YESNOCANCEL, MB_YESNOCANCEL | MB_ICONQUESTION},
      {MB_OK | MB_ICONSTOP, MB_OK | MB_ICONSTOP},
      {0x5u, 0x5u},  // retry/cancel: no icon of its own
  };
  CBoxRecorder boxes;
  for (const auto& c : cases) {
    boxes.AppMessageBox(nullptr, "x", c.type);
    boxes.WindowMessageBox(nullptr, "x", c.type);
  }
  ASSERT_EQ(boxes.m_boxes.size(), 2 * std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(boxes.m_boxes[2 * i].type, cases[i].shown) << i;
    EXPECT_EQ(boxes.m_boxes[2 * i + 1].type, cases[i].type) << i;
  }
}

// The application name that captions every box comes from the program's
// own path, once, without its folder and last extension.
// A label 10..40 wide on the row 0..20 whose text needs 60 pixels (61 with
// the pixel the rule adds), beside one other control, in a 200-wide client.
TEST(CutLabels, WidenUpToTheNextControlOfTheirRow) {
  const CRect label(10, 0, 40, 20);
  struct Case {
    const char* what;
    CRect other;
    bool otherIsFrame;
    int textWidth;
    int expectedRight;
  };
  const Case cases[] = {
      {"nothing in the way: the text's width", CRect(10, 40, 50, 60), false, 60, 71},
      {"stops at the next control", CRect(50, 5, 90, 15), false, 60, 50},
      {"touching the label's right edge: no wider", CRect(40, 0, 80, 20), false, 60, 40},
      {"one pixel into the label: no wider", CRect(39, 0, 80, 20), false, 60, 40},
      {"a row ending where the label starts", CRect(45, -20, 90, 0), false, 60, 71},
      {"a row starting where the label ends", CRect(45, 20, 90, 40), false, 60, 71},
      {"one pixel of the row shared", CRect(45, 19, 90, 40), false, 60, 45},
      {"a group box around it stops nothing", CRect(0, -10, 150, 30), true, 60, 71},
      {"a text that fits keeps its box", CRect(50, 5, 90, 15), false, 20, 40},
      {"the client's right edge", CRect(0, 40, 10, 60), false, 500, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<LaidOutControl> controls(2);
    controls[0].rect = label;
    controls[0].isLabel = true;
    controls[0].textWidth = c.textWidth;
    controls[1].rect = c.other;
    controls[1].isFrame = c.otherIsFrame;
    const std::vector<CRect> placed = WidenCutLabels(controls, 200);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0], CRect(10, 0, c.expectedRight, 20));
    EXPECT_EQ(placed[1], c.other);
  }
}

// Only labels widen, and a label beyond the client's edge never narrows.
TEST(CutLabels, OtherControlsAndOverhangingLabelsKeepTheirBoxes) {
  std::vector<LaidOutControl> controls(2);
  controls[0].rect = CRect(0, 0, 20, 10);
  controls[0].textWidth = 100;  // an edit with a long text: not a label
  controls[1].rect = CRect(150, 0, 250, 10);
  controls[1].isLabel = true;
  controls[1].textWidth = 300;
  const std::vector<CRect> placed = WidenCutLabels(controls, 200);
  EXPECT_EQ(placed[0], controls[0].rect);
  EXPECT_EQ(placed[1], controls[1].rect);
}

TEST(ApplicationName, ComesFromTheProgramPath) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {{"/opt/zeta7/bin/ZETA-7設定ユーティリティ", "ZETA-7設定ユーティリティ"},
               {"/x/a.b.exe", "a.b"},
               {"plain", "plain"}};
  for (const auto& c : cases) {
    CWinApp app;
    AfxInitAppName(&app, c.path);
    EXPECT_EQ(AfxGetAppName(), c.name);
    EXPECT_EQ(app.m_strModulePath, c.path);
    CBoxRecorder boxes;
    boxes.AppMessageBox(nullptr, "x");
    EXPECT_EQ(boxes.m_boxes.at(0).caption, c.name);
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
}

// A dialog that goes away unhooks itself as the main window, and only
// itself.
TEST(ApplicationName, MainWindowIsClearedOnlyByItself) {
  CWinApp app;
  auto main = std::make_unique<CTestDlg>();
  app.m_pMainWnd = main.get();
  { CTestDlg other; }
  EXPECT_EQ(AfxGetMainWnd(), main.get());
  main.reset();
  EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

}  // namespace
