// The main window through the dialog framework's test driver, so that the
// same suite runs on every backend.
#include <climits>

#include "DialogFixture.h"

namespace {

// Entries that lead to a present device name it as a hint; the rest have
// none, and every entry's text stays "COM%d".
TEST_F(DialogTest, StartsDisconnectedWithFilledListsAndVersionTitle) {
  OpenWithUnit();
  CDialogDriver& d = Driver();
  EXPECT_EQ(d.Title(), "ZETA-7設定ユーティリティ 1.02");
  ASSERT_EQ(d.Count(IDC_COMBO_COMPORT), 255);
  EXPECT_EQ(d.ItemText(IDC_COMBO_COMPORT, 0), "COM1");
  EXPECT_EQ(d.ItemText(IDC_COMBO_COMPORT, 254), "COM255");
  EXPECT_EQ(d.ItemTip(IDC_COMBO_COMPORT, 0), ComHintFor(1, UnitLink()));
  EXPECT_EQ(d.ItemTip(IDC_COMBO_COMPORT, 254), "");
  EXPECT_EQ(d.Selection(IDC_COMBO_COMPORT), 0);
  ASSERT_EQ(d.Count(IDC_COMBO_BAUDRATE), 4);
  const Texts speeds = {"38400bps", "19200bps", "9600bps", "4800bps"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(d.ItemText(IDC_COMBO_BAUDRATE, i), speeds[i]);
  EXPECT_EQ(d.Selection(IDC_COMBO_BAUDRATE), 0);

  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_EQ(Fields(), "   ");
  for (int id : kFields) EXPECT_TRUE(d.IsEnabled(id)) << id;
  EXPECT_TRUE(d.IsEnabled(IDC_CHECK_INFINITE_RETRY));
  EXPECT_FALSE(d.IsChecked(IDC_CHECK_INFINITE_RETRY));

  // The version line is empty and spans the whole bottom edge.
  const CRect client = d.ClientRect();
  const CRect line = d.Placement(IDC_STATIC_VERSION);
  EXPECT_EQ(VersionLine(), "");
  EXPECT_EQ(line, CRect(0, client.bottom - line.Height(), client.right, client.bottom));
  EXPECT_GT(line.Height(), 0);

  EXPECT_EQ(d.FocusId(), IDC_COMBO_COMPORT);
  EXPECT_TRUE(d.IsFixedSize());
  EXPECT_TRUE(d.IsVisible());
  EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// Values outside the lists leave no selection but are kept for Connect and
// for the next save.
TEST_F(DialogTest, StoredPortAndSpeedSelectEntriesOrNone) {
  WriteFile(Ini(), "[com]\ncom=255\nbps=3\n");
  Open();
  EXPECT_EQ(Driver().Selection(IDC_COMBO_COMPORT), 254);
  EXPECT_EQ(Driver().Selection(IDC_COMBO_BAUDRATE), 3);

  WriteFile(Ini(), "[com]\ncom=0\nbps=-2\n");
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(Driver().Selection(IDC_COMBO_COMPORT), -1);
  EXPECT_EQ(Driver().Selection(IDC_COMBO_BAUDRATE), -1);
  EXPECT_EQ(dlg.ComPort(), 0);
  EXPECT_EQ(dlg.BaudIndex(), -2);

  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{"COM0がオープンできません。"});

  // The lowest int the file can hold: no entry, and no overflow on the way.
  WriteFile(Ini(), "[com]\ncom=-2147483648\n");
  EXPECT_EQ(Open().ComPort(), INT_MIN);
  EXPECT_EQ(Driver().Selection(IDC_COMBO_COMPORT), -1);
}

// Enter presses the focused button; Enter anywhere else and Escape do
// nothing, and never end the dialog, nor close an opened list. Keys with Alt
// are not the filter's.
TEST_F(DialogTest, KeysPressOnlyButtons) {
  OpenWithUnit();
  CDialogDriver& d = Driver();
  for (int id :
       {IDC_EDIT_CHANNEL, IDC_COMBO_COMPORT, IDC_CHECK_INFINITE_RETRY, IDC_BUTTON_DISCONNECT}) {
    for (UINT key : {VK_RETURN, VK_ESCAPE}) EXPECT_FALSE(d.PressKey(id, key)) << id;
  }
  EXPECT_TRUE(d.PressKey(IDC_EDIT_CHANNEL, VK_RETURN, true));
  EXPECT_TRUE(d.PressKey(IDC_EDIT_CHANNEL, VK_TAB));
  EXPECT_TRUE(m_boxes.m_boxes.empty());
  EXPECT_TRUE(d.IsVisible());
  EXPECT_FALSE(m_dialog->IsEnded());
  EXPECT_FALSE(d.IsChecked(IDC_CHECK_INFINITE_RETRY));
  EXPECT_EQ(Controls(), kDisconnected);

  for (int id : {IDC_BUTTON_CONNECT, IDC_BUTTON_READ, IDC_BUTTON_DISCONNECT}) {
    EXPECT_FALSE(d.PressKey(id, VK_RETURN));
  }
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\nR\r\n");
  EXPECT_EQ(Fields(), "12 3 5 1000");
  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_TRUE(m_boxes.m_boxes.empty());

  d.OpenList(IDC_COMBO_COMPORT);
  ASSERT_TRUE(d.IsListOpen(IDC_COMBO_COMPORT));
  for (UINT key : {VK_ESCAPE, VK_RETURN}) {
    EXPECT_FALSE(d.PressKeyInList(IDC_COMBO_COMPORT, key));
    EXPECT_TRUE(d.IsListOpen(IDC_COMBO_COMPORT));
  }
  d.CloseList(IDC_COMBO_COMPORT);
  EXPECT_EQ(d.Selection(IDC_COMBO_COMPORT), 0);
}

// Cancel keeps the window and writes nothing; OK stores all four keys and
// keeps everything else in the file. Only a user's choice in a list counts.
// A close request that comes while the question is up opens no second box:
// the one box answers it, and a close after the end asks nothing.
TEST_F(DialogTest, CloseQuestion) {
  const std::string before = "; mine\n[ports]\ncom3=nowhere\n[com]\ncom=3\nbps=1\n";
  WriteFile(Ini(), before);
  CZeta7Dlg& dlg = Open();
  bool again = true;
  m_boxes.m_snapshot = [&] {
    if (again) {
      again = false;
      Driver().RequestClose();
    }
    return std::string();
  };
  m_boxes.m_answers = {IDCANCEL};
  Driver().RequestClose();
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].type, kConfirm);
  EXPECT_EQ(Shown(), Texts{"終了しますか？"});
  EXPECT_TRUE(Driver().IsVisible());
  EXPECT_FALSE(dlg.IsEnded());
  EXPECT_EQ(ReadFile(Ini()), before);

  Driver().MoveTo(40, 30);
  static_cast<CComboBox*>(dlg.GetDlgItem(IDC_COMBO_COMPORT))->SetCurSel(4);
  Driver().Choose(IDC_COMBO_BAUDRATE, 2);
  again = true;
  Driver().RequestClose();
  EXPECT_EQ(Shown(), Texts{"終了しますか？"});
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_FALSE(Driver().IsVisible());
  EXPECT_EQ(ReadFile(Ini()),
            "; mine\n[ports]\ncom3=nowhere\n[com]\ncom=3\nbps=2\n[position]\nleft=40\ntop=30\n");
  Driver().RequestClose();
  EXPECT_EQ(Shown(), Texts{});
  m_boxes.m_snapshot = nullptr;
}

// A stored position is where the window opens; an absent coordinate (or a
// stored -1) centres the window's outer size over the work area's extent,
// measured from the screen origin and not from the work area's own corner;
// each axis is decided by itself. A close saves the place it opens at.
TEST_F(DialogTest, PositionIsRestoredOrCentredFromTheScreenOrigin) {
  constexpr int kCentred = INT_MIN;
  const struct {
    CRect work;
    CPoint origin;
    const char* stored;
    int x, y;
  } cases[] = {
      {CRect(0, 0, 800, 600), CPoint(0, 0), "[position]\nleft=123\ntop=77\n", 123, 77},
      {CRect(0, 0, 800, 600), CPoint(0, 0), "", kCentred, kCentred},
      {CRect(100, 40, 900, 640), CPoint(0, 0), "[position]\ntop=-1\nleft=15\n", 15, kCentred},
      {CRect(100, 40, 900, 640), CPoint(0, 0), "[position]\ntop=20\n", kCentred, 20},
      {CRect(1380, 0, 2380, 700), CPoint(1280, 0), "", kCentred, kCentred},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    CFixedDesktop desktop(c.work, c.origin);
    m_pDesktop = &desktop;
    WriteFile(Ini(), c.stored);
    for (int run = 0; run < 2; ++run) {
      Open();
      const CRect window = Driver().WindowRect();
      EXPECT_EQ(window.left,
                c.x != kCentred ? c.x : c.origin.x + (c.work.Width() - window.Width()) / 2)
          << "run " << run;
      EXPECT_EQ(window.top,
                c.y != kCentred ? c.y : c.origin.y + (c.work.Height() - window.Height()) / 2)
          << "run " << run;
      Driver().RequestClose();
    }
    m_dialog.reset();
  }
}

TEST_F(DialogTest, SettingsFolderIsMadeOrTheProblemShown) {
  // No file beside the program: the user folder is made at start.
  const std::string sep(1, kPathSeparator);
  const std::string folder = sep + "Quillbeck" + sep + "ZETA-7";
  EXPECT_EQ(Open().IniPath(), m_userFolder + folder + sep + "zeta7.ini");
  EXPECT_TRUE(std::filesystem::is_directory(m_userFolder + folder));

  m_userFolder = "/proc/no-such-place";
  Open();
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].type, unsigned{MB_OK});
  EXPECT_EQ(m_boxes.m_boxes[0].detail.rfind(
                "フォルダ: /proc/no-such-place" + folder + sep + kMessageLineBreak + "理由: ", 0),
            0u)
      << m_boxes.m_boxes[0].detail;
  EXPECT_EQ(Shown(), Texts{"ユーザアプリケーションフォルダの生成に失敗しました。"});
  EXPECT_EQ(m_dialog->IniPath(), Ini());

  m_userFolder.clear();
  Open();
  EXPECT_EQ(Shown(), Texts{kMsgUserFolderUnavailable});
  EXPECT_EQ(m_dialog->IniPath(), Ini());
}

// A COM number with no device behind it names the port, with all six
// connection controls off while the box is up, and keeps the version line.
TEST_F(DialogTest, ConnectShowsTheVersionDisconnectLetsGoAndAMissingPortIsNamed) {
  Connected();
  EXPECT_TRUE(m_boxes.m_boxes.empty());
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V1.02.03");
  EXPECT_EQ(Driver().FocusId(), IDC_BUTTON_DISCONNECT);

  SetFields({"1", "2", "3", "4"});
  Click(IDC_BUTTON_DISCONNECT);
  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_EQ(Driver().FocusId(), IDC_BUTTON_CONNECT);
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V1.02.03");
  EXPECT_EQ(Fields(), "1 2 3 4");
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\n");

  Driver().Choose(IDC_COMBO_COMPORT, 199);
  Click(IDC_BUTTON_CONNECT);
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes.m_boxes[0].type, kError);
  EXPECT_EQ(m_boxes.m_boxes[0].snapshot, kOpening);
  EXPECT_EQ(Shown(), Texts{"COM200がオープンできません。"});
  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V1.02.03");

  // The handshake's waits: 36 + 56 ms for the prompt, 40 + 64 ms for "V".
  ASSERT_GE(m_clock.m_sleeps.size(), 4u);
  EXPECT_EQ((std::vector<int>(m_clock.m_sleeps.begin(), m_clock.m_sleeps.begin() + 2)),
            (std::vector<int>{36, 56}));
}

// While a failure is shown the window still looks connected; afterwards it
// is disconnected but keeps the port, and Connect reopens it. Below the
// failure: what came back, escaped, and the line speed.
TEST_F(DialogTest, HandshakeOutcomes) {
  const struct {
    std::vector<std::string> args;
    int speedIndex;
    const char* message;           // nullptr: connects
    const char* detail = nullptr;  // nullptr: not looked at
  } cases[] = {
      {{"--wrong-prompt"},
       0,
       kCannotTalk,
       "受信: \"\\r\\nZETA7> \" (9 バイト)\n回線速度: 38400 bit/s"},
      {{"--lower-v"}, 0, kBadComm},
      {{"--unit-version", "V"}, 0, nullptr},
      {{"--unit-version", "V<b>1</b>"}, 0, nullptr},
      {{"--garbage", "--seed", "1"}, 0, kCannotTalk},
      {{"--garbage", "--seed", "2"}, 1, kCannotTalk},
      {{"--garbage", "--seed", "3"}, 2, kCannotTalk},
      {{"--garbage", "--seed", "4"}, 3, kCannotTalk},
      {{"--silent"}, 1, kCannotTalk, "受信: なし\n回線速度: 19200 bit/s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : "") + " at speed " +
                 std::to_string(c.speedIndex));
    OpenWithUnit(c.args);
    Driver().Choose(IDC_COMBO_BAUDRATE, c.speedIndex);
    Click(IDC_BUTTON_CONNECT);
    if (c.message) {
      ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
      EXPECT_EQ(m_boxes.m_boxes[0].type, kError);
      EXPECT_EQ(m_boxes.m_boxes[0].snapshot, kConnected);
      if (c.detail) {
        EXPECT_EQ(m_boxes.m_boxes[0].detail, c.detail);
      }
      EXPECT_EQ(Shown(), Texts{c.message});
      EXPECT_EQ(Controls(), kDisconnected);
      EXPECT_EQ(VersionLine(), "");
    } else {
      EXPECT_EQ(Shown(), Texts{});
      EXPECT_EQ(VersionLine(), "ファームウェアバージョン " + c.args[1]);
    }
  }
  // The last failure left the port open; Connect closes and reopens it.
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{kCannotTalk});
}

TEST_F(DialogTest, ReadFillsTheFieldsAndInfiniteRetryFollowsTheUnit) {
  Connected({"--retry", "-1", "--channel", "7", "--id", "0", "--interval", "32767"});
  Driver().SetText(IDC_EDIT_RETRY_COUNT, "42");
  Click(IDC_BUTTON_READ);
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(Fields(), "7 0 42 32767");
  EXPECT_TRUE(Driver().IsChecked(IDC_CHECK_INFINITE_RETRY));
  EXPECT_FALSE(Driver().IsEnabled(IDC_EDIT_RETRY_COUNT));
  EXPECT_EQ(Controls(), kConnected);

  Click(IDC_CHECK_INFINITE_RETRY);
  EXPECT_TRUE(Driver().IsEnabled(IDC_EDIT_RETRY_COUNT));
  Click(IDC_CHECK_INFINITE_RETRY);
  EXPECT_FALSE(Driver().IsEnabled(IDC_EDIT_RETRY_COUNT));

  // With infinite retry the write sends -1 whatever the retry field holds.
  Driver().SetText(IDC_EDIT_RETRY_COUNT, "");
  Click(IDC_BUTTON_WRITE);
  EXPECT_EQ(m_sim.ReceivedLines().back(), "S 7 0 -1 32767");

  // A count read while the box is ticked unticks it.
  Click(IDC_BUTTON_DISCONNECT);
  StartUnit({"--retry", "5"});
  Click(IDC_BUTTON_CONNECT);
  Click(IDC_BUTTON_READ);
  EXPECT_FALSE(Driver().IsChecked(IDC_CHECK_INFINITE_RETRY));
  EXPECT_TRUE(Driver().IsEnabled(IDC_EDIT_RETRY_COUNT));
  EXPECT_EQ(Driver().Text(IDC_EDIT_RETRY_COUNT), "5");
}

// A refused reply says below the message what came back, escaped.
TEST_F(DialogTest, ReadReplyOfWrongLengthDisconnectsAndKeepsTheFields) {
  for (const char* width : {"--r16", "--r19", "--r18"}) {
    SCOPED_TRACE(width);
    Connected({width});
    SetFields({"1", "2", "3", "4"});
    Click(IDC_BUTTON_READ);
    if (std::string(width) == "--r18") {
      EXPECT_EQ(Shown(), Texts{});
      EXPECT_EQ(Fields(), "12 3 5 1000");
    } else {
      ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
      EXPECT_NE(m_boxes.m_boxes[0].detail.find("\\r\\n"), std::string::npos)
          << m_boxes.m_boxes[0].detail;
      EXPECT_EQ(Shown(), Texts{"受信データが不正です"});
      EXPECT_EQ(Controls(), kDisconnected);
      EXPECT_EQ(Fields(), "1 2 3 4");
    }
  }
}

// The write sends the converted values, then pauses 10 ms before it looks
// at the reply; the notice comes after the pause.
TEST_F(DialogTest, WriteSendsConvertedValuesAndPausesBeforeTheVerdict) {
  Connected();
  SetFields({"007", "15", "10000", "0"});
  size_t sleepsAtNotice = 0;
  m_boxes.m_snapshot = [&] {
    sleepsAtNotice = m_clock.m_sleeps.size();
    return Controls();
  };
  m_clock.m_sleeps.clear();
  Click(IDC_BUTTON_WRITE);
  ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
  EXPECT_EQ(m_boxes.m_boxes[0].type, kConfirm);
  EXPECT_EQ(m_boxes.m_boxes[1].type, kNotice);
  EXPECT_EQ(m_boxes.m_boxes[1].snapshot, kConnected);
  EXPECT_EQ(Shown(), (Texts{kConfirmWrite, "書き込み終了"}));
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\nS 7 15 10000 0\r\n");

  // "S 7 15 10000 0" CR LF is 16 bytes: 4 * 16 + 28 and 8 * 16 + 40 ms, the
  // byte pauses, then the 10 ms pause, all before the notice.
  const std::vector<int>& sleeps = m_clock.m_sleeps;
  ASSERT_GE(sleeps.size(), 3u);
  EXPECT_EQ(sleeps[0], 92);
  EXPECT_EQ(sleeps[1], 168);
  EXPECT_EQ(sleeps.back(), 10);
  EXPECT_EQ(sleepsAtNotice, sleeps.size());
  for (size_t i = 2; i + 1 < sleeps.size(); ++i) EXPECT_EQ(sleeps[i], 4) << i;

  SetFields({"", "", "", ""});
  Click(IDC_BUTTON_READ);
  EXPECT_EQ(Fields(), "7 15 10000 0");
  EXPECT_FALSE(Driver().IsChecked(IDC_CHECK_INFINITE_RETRY));
}

// Validation stops at the first failing field; nothing reaches the unit and
// the window stays connected. Neither does anything after Cancel.
TEST_F(DialogTest, WriteValidationRefusesBeforeSending) {
  Connected();
  const char* const kEmpty = "パラメータを入力してください";
  const char* const kRange = "値が有効範囲を超えています";
  const struct {
    std::vector<const char*> fields;
    const char* message;
  } cases[] = {
      {{"", "99", "1", "1"}, kEmpty},     {{"6", "1", "1", "1"}, kRange},
      {{"47", "", "1", "1"}, kRange},     {{"7", "16", "1", "1"}, kRange},
      {{"7", "1", "", "1"}, kEmpty},      {{"7", "1", "10001", "1"}, kRange},
      {{"7", "1", "1", "32768"}, kRange}, {{"7", "1", "1", ""}, kEmpty},
      {{"abc", "1", "1", "1"}, kRange},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    SetFields(c.fields);
    Click(IDC_BUTTON_WRITE);
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[1].type, kError);
    EXPECT_EQ(Shown(), (Texts{kConfirmWrite, c.message}));
  }
  SetFields({"12", "3", "5", "1000"});
  m_boxes.m_answers = {IDCANCEL};
  Click(IDC_BUTTON_WRITE);
  EXPECT_EQ(Shown(), Texts{kConfirmWrite});
  EXPECT_EQ(m_sim.ReceivedBytes().find("S "), std::string::npos);
  EXPECT_EQ(Controls(), kConnected);
  EXPECT_EQ(Fields(), "12 3 5 1000");
}

TEST_F(DialogTest, WriteRefusedByTheUnitStaysConnected) {
  Connected({"--lower-ok"});
  SetFields({"12", "3", "5", "1000"});
  Click(IDC_BUTTON_WRITE);
  ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
  EXPECT_EQ(m_boxes.m_boxes[1].type, kError);
  EXPECT_EQ(Shown(), (Texts{kConfirmWrite, "書き込みに失敗しました"}));
  EXPECT_EQ(Controls(), kConnected);
}

// ---- Faults: none may crash, hang or lose the settings file.

TEST_F(DialogTest, UnitHangingUpMidReplyLeavesTheWindowUsable) {
  OpenWithUnit({"--hangup"});
  Click(IDC_BUTTON_CONNECT);
  // The hang-up usually discards what came through and the handshake fails;
  // should the first half have been read in time, the window connects and
  // the next exchange finds the line dead.
  if (m_boxes.m_boxes.empty()) {
    Click(IDC_BUTTON_READ);
    EXPECT_EQ(Shown(), Texts{kCannotTalk});
  } else {
    EXPECT_EQ(Shown(), Texts{kBadComm});
  }
  EXPECT_EQ(Controls(), kDisconnected);
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{"COM1がオープンできません。"});
}

// The unit goes away while connected: the next exchange reports it, a new
// Connect finds no device, and a unit that comes back connects again.
TEST_F(DialogTest, UnitThatDisappearsAndComesBack) {
  Connected();
  m_sim.Stop();
  Click(IDC_BUTTON_READ);
  EXPECT_EQ(Shown(), Texts{kCannotTalk});
  EXPECT_EQ(Controls(), kDisconnected);
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{"COM1がオープンできません。"});
  StartUnit({"--unit-version", "V9"});
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V9");
}

TEST_F(DialogTest, EndlessStreamEndsTheExchange) {
  OpenWithUnit({"--stream"});
  Click(IDC_BUTTON_CONNECT);
  Click(IDC_BUTTON_READ);
  EXPECT_FALSE(m_boxes.m_boxes.empty());
  EXPECT_EQ(Controls(), kDisconnected);
}

TEST_F(DialogTest, GarbageSettingsFileGivesDefaultsAndKeepsItsBytes) {
  std::string garbage(4096, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) % 251);
  WriteFile(Ini(), garbage + "\n\r\r[position]\nleft=abc\n");
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(dlg.ComPort(), 1);
  EXPECT_EQ(dlg.BaudIndex(), 0);
  EXPECT_EQ(Driver().WindowRect().left, 0);  // "abc" reads as 0

  Driver().MoveTo(50, 60);
  Driver().RequestClose();
  ASSERT_TRUE(dlg.IsEnded());
  EXPECT_EQ(ReadFile(Ini()), garbage + "\n\r\r[position]\nleft=50\ntop=60\n[com]\ncom=1\nbps=0\n");
}

// Two copies share one file; the one closed last decides what the next
// start reads, and the file stays whole.
TEST_F(DialogTest, TwoCopiesClosingOneAfterTheOtherLastOneWins) {
  WriteFile(Ini(), "; shared\n[com]\ncom=2\n");
  CZeta7Dlg& first = Open();
  CDialogDriver firstDriver(first);
  auto second = std::make_unique<CZeta7Dlg>();
  second->SetServices(Services());
  second->Create();
  CDialogDriver secondDriver(*second);
  firstDriver.MoveTo(11, 12);
  secondDriver.MoveTo(21, 22);
  firstDriver.RequestClose();
  secondDriver.RequestClose();
  ASSERT_TRUE(first.IsEnded() && second->IsEnded());
  EXPECT_EQ(ReadFile(Ini()), "; shared\n[com]\ncom=2\nbps=0\n[position]\nleft=21\ntop=22\n");
}

}  // namespace
