// The main window, built against a private settings folder with every message
// box pre-answered and recorded; where a test needs a unit, the simulated one
// stands behind COM1.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <memory>

#include "CComPort.h"
#include "CEditValue.h"
#include "CZeta7Dlg.h"
#include "MessageBoxService.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "UserDirKit/UserDirKit.h"

namespace {

using Texts = std::vector<std::string>;

const char* const kCannotTalk = "ZETA-7と通信できません";
const char* const kCom1CannotOpen = "COM1がオープンできません。";
const char* const kConfirmWrite = "パラメータをZETA-7に書き込みます";
constexpr unsigned kError = MB_OK | MB_ICONSTOP;

// Enabled state of Connect, Disconnect, Read, Write, the COM list and the
// speed list, '1' for enabled.
constexpr const char* kDisconnected = "100011";
constexpr const char* kOpening = "000000";
constexpr const char* kConnected = "011100";

struct Box {
  std::string text;
  unsigned type;
  std::string controls;  // at the moment the box was up
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    MessageBoxService::SetInterceptor([this](const MessageBoxRequest& request) {
      m_boxes.push_back({request.text.toStdString(), request.type, Controls()});
      if (m_answers.empty()) return static_cast<int>(IDOK);
      const int answer = m_answers.front();
      m_answers.pop_front();
      return answer;
    });
  }
  void TearDown() override {
    m_dialog.reset();
    MessageBoxService::SetInterceptor({});
  }

  std::string Ini() const { return Path("bin/zeta7.ini"); }
  std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }

  LocationServices Services() {
    LocationServices services;
    services.programPath = [this] { return std::optional<std::string>(Path("bin/zeta7")); };
    services.fileExists = [](const char* path) { return udk_FileExists(path); };
    services.getUserAppFolder = [this](char* buffer, int size) {
      const int n = std::snprintf(buffer, static_cast<size_t>(size), "%s", m_userFolder.c_str());
      return n < size ? n : -1;
    };
    services.makeFolder = [](const char* folder) { return udk_MakeFolder(folder); };
    return services;
  }

  CZeta7Dlg& Open() {
    m_dialog.reset();
    m_dialog = std::make_unique<CZeta7Dlg>();
    m_dialog->SetLocationServices(Services());
    m_dialog->Create();
    return *m_dialog;
  }
  // Starts the unit with the given switches and opens the window with COM1
  // mapped to it.
  CZeta7Dlg& OpenWithUnit(const std::vector<std::string>& args = {}) {
    m_sim.Stop();
    EXPECT_TRUE(m_sim.Start(args)) << m_sim.Error();
    WriteFile(Ini(), "[ports]\ncom1=" + m_sim.DevicePath() + "\n");
    return Open();
  }
  CZeta7Dlg& Connected(const std::vector<std::string>& args = {}) {
    CZeta7Dlg& dlg = OpenWithUnit(args);
    Click("IDC_BUTTON_CONNECT");
    EXPECT_EQ(Controls(), kConnected);
    return dlg;
  }

  template <class T = QWidget>
  T* Control(const char* name) {
    T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QComboBox* Combo(const char* name) { return Control<QComboBox>(name); }
  CEditValue* Edit(const char* name) { return Control<CEditValue>(name); }
  QCheckBox* InfiniteRetry() { return Control<QCheckBox>("IDC_CHECK_INFINITE_RETRY"); }
  std::string VersionLine() { return Control<QLabel>("IDC_STATIC_VERSION")->text().toStdString(); }

  void Click(const char* button) {
    QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
  }
  // A choice made by the user, as opposed to a selection made by the program.
  void Choose(const char* list, int index) {
    Combo(list)->setCurrentIndex(index);
    emit Combo(list)->activated(index);
  }
  static void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }

  std::string Controls() {
    std::string pattern;
    for (const char* name : {"IDC_BUTTON_CONNECT", "IDC_BUTTON_DISCONNECT", "IDC_BUTTON_READ",
                             "IDC_BUTTON_WRITE", "IDC_COMBO_COMPORT", "IDC_COMBO_BAUDRATE"}) {
      const QWidget* widget = m_dialog ? m_dialog->findChild<QWidget*>(name) : nullptr;
      pattern += widget && widget->isEnabled() ? '1' : '0';
    }
    return pattern;
  }
  // The texts of the boxes shown since the last call.
  Texts Shown() {
    Texts texts;
    for (const Box& box : m_boxes) texts.push_back(box.text);
    m_boxes.clear();
    return texts;
  }

  static constexpr const char* kFields[] = {"IDC_EDIT_CHANNEL", "IDC_EDIT_ID",
                                            "IDC_EDIT_RETRY_COUNT", "IDC_EDIT_RETRY_INTERVAL"};
  std::string Fields() {
    QStringList texts;
    for (const char* name : kFields) texts << Edit(name)->text();
    return texts.join(QLatin1Char(' ')).toStdString();
  }
  void SetFields(const std::vector<const char*>& values) {
    for (size_t i = 0; i < values.size(); ++i) Edit(kFields[i])->setText(values[i]);
  }

  QTemporaryDir m_dir;
  std::string m_userFolder = Path("user");
  std::unique_ptr<CZeta7Dlg> m_dialog;
  std::vector<Box> m_boxes;
  std::deque<int> m_answers;
  CSimProcess m_sim;
};

TEST_F(DialogTest, StartsDisconnectedWithFilledListsAndVersionTitle) {
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(dlg.windowTitle().toStdString(), "ZETA-7設定ユーティリティ 1.02");
  QComboBox* ports = Combo("IDC_COMBO_COMPORT");
  ASSERT_EQ(ports->count(), 255);
  EXPECT_EQ(ports->itemText(254), "COM255");
  EXPECT_EQ(ports->currentText(), "COM1");
  ASSERT_EQ(Combo("IDC_COMBO_BAUDRATE")->count(), 4);
  EXPECT_EQ(Combo("IDC_COMBO_BAUDRATE")->itemText(3), "4800bps");
  EXPECT_EQ(Combo("IDC_COMBO_BAUDRATE")->currentText(), "38400bps");

  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_EQ(Fields(), "   ");
  EXPECT_FALSE(InfiniteRetry()->isChecked());
  EXPECT_EQ(Edit("IDC_EDIT_CHANNEL")->m_nMaxChars, 3);

  QLabel* version = Control<QLabel>("IDC_STATIC_VERSION");
  EXPECT_EQ(version->text(), "");
  EXPECT_EQ(version->geometry(),
            QRect(0, dlg.height() - version->height(), dlg.width(), version->height()));
  EXPECT_EQ(dlg.focusWidget(), ports);
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
  EXPECT_TRUE(m_boxes.empty());
}

// Values outside the lists leave no selection but are kept for Connect and
// for the next save.
TEST_F(DialogTest, StoredPortAndSpeedSelectEntriesOrNone) {
  WriteFile(Ini(), "[com]\ncom=255\nbps=3\n");
  Open();
  EXPECT_EQ(Combo("IDC_COMBO_COMPORT")->currentText(), "COM255");
  EXPECT_EQ(Combo("IDC_COMBO_BAUDRATE")->currentText(), "4800bps");

  WriteFile(Ini(), "[com]\ncom=0\nbps=-2\n");
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(Combo("IDC_COMBO_COMPORT")->currentIndex(), -1);
  EXPECT_EQ(Combo("IDC_COMBO_BAUDRATE")->currentIndex(), -1);
  EXPECT_EQ(dlg.ComPort(), 0);
  EXPECT_EQ(dlg.BaudIndex(), -2);
  EXPECT_EQ(CZeta7Dlg::BaudRateForIndex(-2), 38400);
}

// Enter presses the focused button; Enter anywhere else and Escape do nothing.
TEST_F(DialogTest, KeysPressOnlyButtons) {
  CZeta7Dlg& dlg = OpenWithUnit();
  for (const char* name : {"IDC_EDIT_CHANNEL", "IDC_COMBO_COMPORT", "IDC_CHECK_INFINITE_RETRY"}) {
    QWidget* widget = Control(name);
    widget->setFocus();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) PressKey(widget, key);
  }
  PressKey(&dlg, Qt::Key_Escape);
  EXPECT_TRUE(m_boxes.empty());
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(Controls(), kDisconnected);

  for (const char* name : {"IDC_BUTTON_CONNECT", "IDC_BUTTON_READ", "IDC_BUTTON_DISCONNECT"}) {
    Control(name)->setFocus();
    PressKey(Control(name), Qt::Key_Return);
  }
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\nR\r\n");
  EXPECT_EQ(Fields(), "12 3 5 1000");
  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(DialogTest, EscapeLeavesAnOpenedListOpen) {
  Open();
  QComboBox* ports = Combo("IDC_COMBO_COMPORT");
  ports->showPopup();
  QWidget* popup = ports->view()->window();
  ASSERT_TRUE(popup->isVisible());
  for (QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress}) {
    QKeyEvent escape(type, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(ports->view(), &escape);
  }
  EXPECT_TRUE(popup->isVisible());
  ports->hidePopup();
}

// Cancel keeps the window and writes nothing; OK stores all four keys and
// keeps everything else in the file. Only a user's choice in a list counts.
TEST_F(DialogTest, CloseQuestion) {
  const std::string before = "; mine\n[ports]\ncom3=/dev/null\n[com]\ncom=3\nbps=1\n";
  WriteFile(Ini(), before);
  CZeta7Dlg& dlg = Open();
  m_answers = {IDCANCEL};
  EXPECT_FALSE(dlg.close());
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].type, unsigned{MB_OKCANCEL | MB_ICONEXCLAMATION});
  EXPECT_EQ(Shown(), Texts{"終了しますか？"});
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(ReadFile(Ini()), before);

  dlg.move(40, 30);
  Combo("IDC_COMBO_COMPORT")->setCurrentIndex(4);
  Choose("IDC_COMBO_BAUDRATE", 2);
  EXPECT_TRUE(dlg.close());
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(ReadFile(Ini()),
            "; mine\n[ports]\ncom3=/dev/null\n[com]\ncom=3\nbps=2\n[position]\nleft=40\ntop=30\n");
}

TEST_F(DialogTest, StoredPositionRestoresExactlyOrCentres) {
  WriteFile(Ini(), "[position]\nleft=123\ntop=77\n");
  for (int run = 0; run < 3; ++run) {
    EXPECT_EQ(Open().pos(), QPoint(123, 77)) << "run " << run;
    m_dialog->close();
  }

  WriteFile(Ini(), "[position]\ntop=-1\nleft=15\n");
  CZeta7Dlg& dlg = Open();
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  // The frame is not known before the window is first shown, so the
  // centring goes by the window's own size.
  EXPECT_EQ(dlg.pos(), QPoint(15, (work.height() - dlg.height()) / 2));
}

TEST_F(DialogTest, SettingsFolderIsMadeOrTheProblemShown) {
  // No file beside the program: the user folder is made at start.
  EXPECT_EQ(Open().IniPath(), m_userFolder + "/Quillbeck/ZETA-7/zeta7.ini");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(m_userFolder + "/Quillbeck/ZETA-7")).isDir());

  m_userFolder = "/proc/no-such-place";
  Open();
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].type, unsigned{MB_OK});
  EXPECT_EQ(Shown(), Texts{"ユーザアプリケーションフォルダの生成に失敗しました。"});
  EXPECT_EQ(m_dialog->IniPath(), Ini());

  {
    CScopedEnv home("HOME", std::nullopt), config("XDG_CONFIG_HOME", std::nullopt);
    m_dialog = std::make_unique<CZeta7Dlg>();
    m_dialog->SetLocationServices(SystemLocationServices());
    m_dialog->Create();
  }
  EXPECT_EQ(Shown(), Texts{"Windowsのバージョンの取得もしくは\n"
                           "アプリケーションフォルダの取得に失敗しました。"});
  EXPECT_EQ(QFileInfo(QString::fromStdString(m_dialog->IniPath())).fileName(),
            QCoreApplication::applicationName() + ".ini");
}

TEST_F(DialogTest, ConnectShowsTheVersionAndDisconnectLetsGo) {
  CZeta7Dlg& dlg = Connected();
  EXPECT_TRUE(m_boxes.empty());
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V1.02.03");
  EXPECT_EQ(dlg.focusWidget(), Control("IDC_BUTTON_DISCONNECT"));

  Click("IDC_BUTTON_DISCONNECT");
  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_EQ(dlg.focusWidget(), Control("IDC_BUTTON_CONNECT"));
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V1.02.03");
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\n");
  CComPort other;
  other.SetComMap({{1, m_sim.DevicePath()}});
  EXPECT_EQ(other.Open(1), 1);
}

// A speed index outside the list (kept from the settings file) opens the
// line at 38400 bit/s. The line settings are read through a second handle,
// which the exclusive open allows only to root.
TEST_F(DialogTest, SpeedIndexOutsideTheListConnectsAt38400) {
  for (const auto& [stored, speed] : {std::pair{"-2", B38400}, std::pair{"3", B4800}}) {
    SCOPED_TRACE(stored);
    m_sim.Stop();
    ASSERT_TRUE(m_sim.Start()) << m_sim.Error();
    WriteFile(Ini(), "[ports]\ncom1=" + m_sim.DevicePath() + "\n[com]\nbps=" + stored + "\n");
    Open();
    Click("IDC_BUTTON_CONNECT");
    EXPECT_EQ(Controls(), kConnected);
    const int fd = open(m_sim.DevicePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) GTEST_SKIP() << "only root may look at a port held exclusively";
    termios tio{};
    EXPECT_EQ(tcgetattr(fd, &tio), 0);
    close(fd);
    EXPECT_EQ(cfgetospeed(&tio), speed);
  }
}

// While a failure is shown the window still looks connected; afterwards it
// is disconnected but keeps the port, and Connect reopens it.
TEST_F(DialogTest, HandshakeOutcomes) {
  const struct {
    std::vector<std::string> args;
    int speedIndex;
    const char* message;  // nullptr: connects
  } cases[] = {
      {{"--wrong-prompt"}, 0, kCannotTalk},
      {{"--lower-v"}, 0, "ZETA-7との通信が不正です"},
      {{"--unit-version", "V"}, 0, nullptr},
      {{"--garbage", "--seed", "1"}, 0, kCannotTalk},
      {{"--garbage", "--seed", "2"}, 1, kCannotTalk},
      {{"--garbage", "--seed", "3"}, 2, kCannotTalk},
      {{"--garbage", "--seed", "4"}, 3, kCannotTalk},
      {{"--silent"}, 0, kCannotTalk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " at speed " + std::to_string(c.speedIndex));
    OpenWithUnit(c.args);
    Choose("IDC_COMBO_BAUDRATE", c.speedIndex);
    Click("IDC_BUTTON_CONNECT");
    if (c.message) {
      ASSERT_EQ(m_boxes.size(), 1u);
      EXPECT_EQ(m_boxes[0].type, kError);
      EXPECT_EQ(m_boxes[0].controls, kConnected);
      EXPECT_EQ(Shown(), Texts{c.message});
      EXPECT_EQ(Controls(), kDisconnected);
      EXPECT_EQ(VersionLine(), "");
    } else {
      EXPECT_EQ(Shown(), Texts{});
      EXPECT_EQ(VersionLine(), "ファームウェアバージョン V");
    }
  }
  CComPort other;
  other.SetComMap({{1, m_sim.DevicePath()}});
  EXPECT_EQ(other.Open(1), 0);
  Click("IDC_BUTTON_CONNECT");
  EXPECT_EQ(Shown(), Texts{kCannotTalk});
}

// Every way the port can fail to open names the port, with all six
// connection controls off while the box is up. A device held by a failed
// open is let go by the next Connect, so repeated attempts leak nothing.
TEST_F(DialogTest, OpenFailuresNameThePort) {
  ASSERT_TRUE(m_sim.Start());
  CComPort holder;
  holder.SetComMap({{9, m_sim.DevicePath()}});
  const std::string devices[] = {"/nonexistent/tty", "/dev/null", m_sim.DevicePath()};
  for (const std::string& device : devices) {
    SCOPED_TRACE(device);
    WriteFile(Ini(), "[ports]\ncom9=" + device + "\n[com]\ncom=9\n");
    Open();
    if (device == m_sim.DevicePath()) {
      ASSERT_EQ(holder.Open(9), 1);
    }
    Click("IDC_BUTTON_CONNECT");
    Click("IDC_BUTTON_CONNECT");
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].type, kError);
    EXPECT_EQ(m_boxes[1].controls, kOpening);
    EXPECT_EQ(Shown(), Texts(2, "COM9がオープンできません。"));
    EXPECT_EQ(Controls(), kDisconnected);
  }
  holder.Close();
  Click("IDC_BUTTON_CONNECT");
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(Controls(), kConnected);
}

TEST_F(DialogTest, ReadFillsTheFieldsAndInfiniteRetryFollowsTheUnit) {
  Connected({"--retry", "-1", "--channel", "7", "--id", "0", "--interval", "32767"});
  Edit("IDC_EDIT_RETRY_COUNT")->setText("42");
  Click("IDC_BUTTON_READ");
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(Fields(), "7 0 42 32767");
  EXPECT_TRUE(InfiniteRetry()->isChecked());
  EXPECT_FALSE(Edit("IDC_EDIT_RETRY_COUNT")->isEnabled());

  QTest::mouseClick(InfiniteRetry(), Qt::LeftButton);
  EXPECT_TRUE(Edit("IDC_EDIT_RETRY_COUNT")->isEnabled());
  QTest::mouseClick(InfiniteRetry(), Qt::LeftButton);
  EXPECT_FALSE(Edit("IDC_EDIT_RETRY_COUNT")->isEnabled());

  // With infinite retry the write sends -1 whatever the retry field holds.
  Edit("IDC_EDIT_RETRY_COUNT")->clear();
  Click("IDC_BUTTON_WRITE");
  EXPECT_EQ(m_sim.ReceivedLines().back(), "S 7 0 -1 32767");
}

TEST_F(DialogTest, ReadReplyOfWrongLengthDisconnectsAndKeepsTheFields) {
  for (const char* width : {"--r16", "--r19", "--r18"}) {
    SCOPED_TRACE(width);
    Connected({width});
    SetFields({"1", "2", "3", "4"});
    Click("IDC_BUTTON_READ");
    if (std::string(width) == "--r18") {
      EXPECT_EQ(Shown(), Texts{});
      EXPECT_EQ(Fields(), "12 3 5 1000");
    } else {
      EXPECT_EQ(Shown(), Texts{"受信データが不正です"});
      EXPECT_EQ(Controls(), kDisconnected);
      EXPECT_EQ(Fields(), "1 2 3 4");
    }
  }
}

TEST_F(DialogTest, WriteSendsConvertedValuesAndReadBackShowsThem) {
  Connected();
  SetFields({"007", "15", "10000", "0"});
  Click("IDC_BUTTON_WRITE");
  ASSERT_EQ(m_boxes.size(), 2u);
  EXPECT_EQ(m_boxes[0].type, unsigned{MB_OKCANCEL | MB_ICONEXCLAMATION});
  EXPECT_EQ(m_boxes[1].type, unsigned{MB_OK | MB_ICONEXCLAMATION});
  EXPECT_EQ(Shown(), (Texts{kConfirmWrite, "書き込み終了"}));
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\nS 7 15 10000 0\r\n");

  SetFields({"", "", "", ""});
  Click("IDC_BUTTON_READ");
  EXPECT_EQ(Fields(), "7 15 10000 0");
  EXPECT_FALSE(InfiniteRetry()->isChecked());
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    SetFields(c.fields);
    Click("IDC_BUTTON_WRITE");
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].type, kError);
    EXPECT_EQ(Shown(), (Texts{kConfirmWrite, c.message}));
  }
  SetFields({"12", "3", "5", "1000"});
  m_answers = {IDCANCEL};
  Click("IDC_BUTTON_WRITE");
  EXPECT_EQ(Shown(), Texts{kConfirmWrite});
  EXPECT_EQ(m_sim.ReceivedBytes().find("S "), std::string::npos);
  EXPECT_EQ(Controls(), kConnected);
}

TEST_F(DialogTest, WriteRefusedByTheUnitStaysConnected) {
  Connected({"--lower-ok"});
  SetFields({"12", "3", "5", "1000"});
  Click("IDC_BUTTON_WRITE");
  ASSERT_EQ(m_boxes.size(), 2u);
  EXPECT_EQ(m_boxes[1].type, kError);
  EXPECT_EQ(Shown(), (Texts{kConfirmWrite, "書き込みに失敗しました"}));
  EXPECT_EQ(Controls(), kConnected);
}

// ---- Faults: none may crash, hang or lose the settings file.

TEST_F(DialogTest, UnitHangingUpMidReplyLeavesTheWindowUsable) {
  OpenWithUnit({"--hangup"});
  Click("IDC_BUTTON_CONNECT");
  // The hang-up usually discards what came through and the handshake fails;
  // should the first half have been read in time, the window connects and
  // the next exchange finds the line dead.
  if (m_boxes.empty()) {
    Click("IDC_BUTTON_READ");
    EXPECT_EQ(Shown(), Texts{kCannotTalk});
  } else {
    EXPECT_EQ(Shown(), Texts{"ZETA-7との通信が不正です"});
  }
  EXPECT_EQ(Controls(), kDisconnected);
  Click("IDC_BUTTON_CONNECT");
  EXPECT_EQ(Shown(), Texts{kCom1CannotOpen});
}

// The unit goes away while connected: the next exchange reports it, a new
// Connect finds no device, and a unit that comes back connects again.
TEST_F(DialogTest, UnitThatDisappearsAndComesBack) {
  Connected();
  m_sim.Stop();
  Click("IDC_BUTTON_READ");
  EXPECT_EQ(Shown(), Texts{kCannotTalk});
  EXPECT_EQ(Controls(), kDisconnected);
  Click("IDC_BUTTON_CONNECT");
  EXPECT_EQ(Shown(), Texts{kCom1CannotOpen});
  ASSERT_TRUE(m_sim.Start({"--unit-version", "V9"})) << m_sim.Error();
  m_dialog->SetComMap({{1, m_sim.DevicePath()}});
  Click("IDC_BUTTON_CONNECT");
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(VersionLine(), "ファームウェアバージョン V9");
}

TEST_F(DialogTest, EndlessStreamEndsTheExchange) {
  OpenWithUnit({"--stream"});
  Click("IDC_BUTTON_CONNECT");
  Click("IDC_BUTTON_READ");
  EXPECT_FALSE(m_boxes.empty());
  EXPECT_EQ(Controls(), kDisconnected);
}

TEST_F(DialogTest, GarbageSettingsFileGivesDefaultsAndKeepsItsBytes) {
  std::string garbage(4096, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) % 251);
  WriteFile(Ini(), garbage + "\n\r\r[position]\nleft=abc\n");
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(dlg.ComPort(), 1);
  EXPECT_EQ(dlg.BaudIndex(), 0);
  EXPECT_EQ(dlg.x(), 0);  // "abc" reads as 0

  dlg.move(50, 60);
  ASSERT_TRUE(dlg.close());
  EXPECT_EQ(ReadFile(Ini()), garbage + "\n\r\r[position]\nleft=50\ntop=60\n[com]\ncom=1\nbps=0\n");
}

// Two copies share one file; the one closed last decides what the next
// start reads, and the file stays whole.
TEST_F(DialogTest, TwoCopiesClosingOneAfterTheOtherLastOneWins) {
  WriteFile(Ini(), "; shared\n[com]\ncom=2\n");
  CZeta7Dlg& first = Open();
  auto second = std::make_unique<CZeta7Dlg>();
  second->SetLocationServices(Services());
  second->Create();
  first.move(11, 12);
  second->move(21, 22);
  ASSERT_TRUE(first.close());
  ASSERT_TRUE(second->close());
  EXPECT_EQ(ReadFile(Ini()), "; shared\n[com]\ncom=2\nbps=0\n[position]\nleft=21\ntop=22\n");
}

}  // namespace
