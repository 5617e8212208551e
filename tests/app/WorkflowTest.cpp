// The main window against the simulated unit: connect, read, write, and
// what the user sees when the unit misbehaves.
#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTest>

#include "DialogFixture.h"
#include "SimProcess.h"
#include "iniacs.h"

namespace {

class WorkflowTest : public DialogTest {
 protected:
  // Starts the unit with the given switches and opens the window with COM1
  // mapped to it.
  CZeta7Dlg& OpenWithUnit(const std::vector<std::string>& args = {}) {
    if (!m_sim.Start(args)) {
      ADD_FAILURE() << m_sim.Error();
    }
    WriteIni(IniBesideProgram(), ("[ports]\ncom1=" + m_sim.DevicePath() + "\n").c_str());
    return Open();
  }
  void Click(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
  CZeta7Dlg& Connected(const std::vector<std::string>& args = {}) {
    CZeta7Dlg& dlg = OpenWithUnit(args);
    Click("IDC_BUTTON_CONNECT");
    EXPECT_EQ(Boxes().Controls(), kConnected);
    return dlg;
  }
  QCheckBox* InfiniteRetry() { return Control<QCheckBox>("IDC_CHECK_INFINITE_RETRY"); }
  QString Fields() {
    QStringList texts;
    for (const char* name :
         {"IDC_EDIT_CHANNEL", "IDC_EDIT_ID", "IDC_EDIT_RETRY_COUNT", "IDC_EDIT_RETRY_INTERVAL"}) {
      texts << Edit(name)->text();
    }
    return texts.join(QLatin1Char(' '));
  }
  void SetFields(const char* channel, const char* id, const char* retry, const char* interval) {
    Edit("IDC_EDIT_CHANNEL")->setText(QString::fromUtf8(channel));
    Edit("IDC_EDIT_ID")->setText(QString::fromUtf8(id));
    Edit("IDC_EDIT_RETRY_COUNT")->setText(QString::fromUtf8(retry));
    Edit("IDC_EDIT_RETRY_INTERVAL")->setText(QString::fromUtf8(interval));
  }
  bool UnitGotWriteCommand() {
    for (const std::string& line : m_sim.ReceivedLines()) {
      if (line.rfind("S", 0) == 0) return true;
    }
    return false;
  }

  CSimProcess m_sim;
};

TEST_F(WorkflowTest, ConnectShowsTheVersionAndDisconnectKeepsIt) {
  CZeta7Dlg& dlg = Connected();
  EXPECT_TRUE(Boxes().Boxes().empty());
  EXPECT_EQ(VersionLine(), QString::fromUtf8("ファームウェアバージョン V1.02.03"));
  EXPECT_EQ(dlg.focusWidget(), Button("IDC_BUTTON_DISCONNECT"));
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\n");

  Click("IDC_BUTTON_DISCONNECT");
  EXPECT_EQ(Boxes().Controls(), kDisconnected);
  EXPECT_EQ(dlg.focusWidget(), Button("IDC_BUTTON_CONNECT"));
  EXPECT_EQ(VersionLine(), QString::fromUtf8("ファームウェアバージョン V1.02.03"));
  // Disconnect sends nothing and lets go of the device.
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\n");
  CComPort other;
  EXPECT_EQ(other.Open(1), 1);
}

struct HandshakeCase {
  std::vector<std::string> args;
  int speedIndex;
  const char* message;  // nullptr: connects
  const char* versionLine;
};

TEST_F(WorkflowTest, HandshakeOutcomes) {
  const HandshakeCase cases[] = {
      {{"--wrong-prompt"}, 0, "ZETA-7と通信できません", ""},
      {{"--silent"}, 0, "ZETA-7と通信できません", ""},
      {{"--lower-v"}, 0, "ZETA-7との通信が不正です", ""},
      {{"--version", "V"}, 0, nullptr, "ファームウェアバージョン V"},
      {{"--garbage", "--seed", "1"}, 0, "ZETA-7と通信できません", ""},
      {{"--garbage", "--seed", "2"}, 1, "ZETA-7と通信できません", ""},
      {{"--garbage", "--seed", "3"}, 2, "ZETA-7と通信できません", ""},
      {{"--garbage", "--seed", "4"}, 3, "ZETA-7と通信できません", ""},
  };
  for (const HandshakeCase& c : cases) {
    SCOPED_TRACE(c.args[0] + " at speed " + std::to_string(c.speedIndex));
    m_sim.Stop();
    OpenWithUnit(c.args);
    Combo("IDC_COMBO_BAUDRATE")->setCurrentIndex(c.speedIndex);
    emit Combo("IDC_COMBO_BAUDRATE")->activated(c.speedIndex);
    Click("IDC_BUTTON_CONNECT");
    if (c.message) {
      ASSERT_EQ(Boxes().Boxes().size(), 1u);
      EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8(c.message));
      EXPECT_EQ(Boxes().Boxes()[0].type, unsigned{MB_OK | MB_ICONSTOP});
      EXPECT_EQ(Boxes().Boxes()[0].controls, kConnected);
      EXPECT_EQ(Boxes().Controls(), kDisconnected);
    } else {
      EXPECT_TRUE(Boxes().Boxes().empty());
      EXPECT_EQ(Boxes().Controls(), kConnected);
    }
    EXPECT_EQ(VersionLine(), QString::fromUtf8(c.versionLine));
  }
}

TEST_F(WorkflowTest, ReadFillsTheFieldsAndInfiniteRetryFollowsTheUnit) {
  Connected({"--retry", "-1", "--channel", "7", "--id", "0", "--interval", "32767"});
  Edit("IDC_EDIT_RETRY_COUNT")->setText(QStringLiteral("42"));
  Click("IDC_BUTTON_READ");
  EXPECT_TRUE(Boxes().Boxes().empty());
  EXPECT_EQ(Fields(), "7 0 42 32767");
  EXPECT_TRUE(InfiniteRetry()->isChecked());
  EXPECT_FALSE(Edit("IDC_EDIT_RETRY_COUNT")->isEnabled());
  EXPECT_EQ(Boxes().Controls(), kConnected);

  // The user switches infinite retry off and on; the field follows the box.
  QTest::mouseClick(InfiniteRetry(), Qt::LeftButton);
  EXPECT_TRUE(Edit("IDC_EDIT_RETRY_COUNT")->isEnabled());
  QTest::mouseClick(InfiniteRetry(), Qt::LeftButton);
  EXPECT_FALSE(Edit("IDC_EDIT_RETRY_COUNT")->isEnabled());

  // Write with infinite retry sends -1 whatever the retry field holds.
  Edit("IDC_EDIT_RETRY_COUNT")->clear();
  Boxes().Answer(IDOK);
  Click("IDC_BUTTON_WRITE");
  EXPECT_EQ(m_sim.ReceivedLines().back(), "S 7 0 -1 32767");
}

TEST_F(WorkflowTest, WriteSendsConvertedValuesAndReadBackShowsThem) {
  Connected();
  SetFields("007", "15", "10000", "0");
  Boxes().Answer(IDOK);
  Click("IDC_BUTTON_WRITE");
  ASSERT_EQ(Boxes().Boxes().size(), 2u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("パラメータをZETA-7に書き込みます"));
  EXPECT_EQ(Boxes().Boxes()[0].type, unsigned{MB_OKCANCEL | MB_ICONEXCLAMATION});
  EXPECT_EQ(Boxes().Boxes()[1].text, QString::fromUtf8("書き込み終了"));
  EXPECT_EQ(Boxes().Boxes()[1].type, unsigned{MB_OK | MB_ICONEXCLAMATION});
  const std::string bytes = m_sim.ReceivedBytes();
  const std::string line = "\r\nV\r\nS 7 15 10000 0\r\n";
  EXPECT_EQ(bytes, line);

  SetFields("", "", "", "");
  Click("IDC_BUTTON_READ");
  EXPECT_EQ(Fields(), "7 15 10000 0");
  EXPECT_FALSE(InfiniteRetry()->isChecked());
  EXPECT_EQ(Boxes().Controls(), kConnected);
}

struct WriteCase {
  const char *channel, *id, *retry, *interval;
  const char* message;
};

// Validation stops at the first failing field; nothing reaches the unit and
// the window stays connected.
TEST_F(WorkflowTest, WriteValidationRefusesBeforeSending) {
  Connected();
  const WriteCase cases[] = {
      {"", "99", "1", "1", "パラメータを入力してください"},
      {"6", "1", "1", "1", "値が有効範囲を超えています"},
      {"47", "", "1", "1", "値が有効範囲を超えています"},
      {"7", "16", "1", "1", "値が有効範囲を超えています"},
      {"7", "1", "", "1", "パラメータを入力してください"},
      {"7", "1", "10001", "1", "値が有効範囲を超えています"},
      {"7", "1", "1", "32768", "値が有効範囲を超えています"},
      {"7", "1", "1", "", "パラメータを入力してください"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(std::string(c.channel) + "|" + c.id + "|" + c.retry + "|" + c.interval);
    SetFields(c.channel, c.id, c.retry, c.interval);
    Boxes().Clear();
    Boxes().Answer(IDOK);
    Click("IDC_BUTTON_WRITE");
    ASSERT_EQ(Boxes().Boxes().size(), 2u);
    EXPECT_EQ(Boxes().Boxes()[1].text, QString::fromUtf8(c.message));
    EXPECT_EQ(Boxes().Boxes()[1].type, unsigned{MB_OK | MB_ICONSTOP});
    EXPECT_EQ(Boxes().Controls(), kConnected);
  }
  EXPECT_FALSE(UnitGotWriteCommand());

  // Cancel in the confirmation sends nothing either.
  SetFields("12", "3", "5", "1000");
  Boxes().Clear();
  Boxes().Answer(IDCANCEL);
  Click("IDC_BUTTON_WRITE");
  EXPECT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_FALSE(UnitGotWriteCommand());
}

TEST_F(WorkflowTest, WriteRefusedByTheUnitStaysConnected) {
  Connected({"--lower-ok"});
  SetFields("12", "3", "5", "1000");
  Boxes().Answer(IDOK);
  Click("IDC_BUTTON_WRITE");
  ASSERT_EQ(Boxes().Boxes().size(), 2u);
  EXPECT_EQ(Boxes().Boxes()[1].text, QString::fromUtf8("書き込みに失敗しました"));
  EXPECT_EQ(Boxes().Boxes()[1].type, unsigned{MB_OK | MB_ICONSTOP});
  EXPECT_EQ(Boxes().Controls(), kConnected);
}

TEST_F(WorkflowTest, ReadReplyOfWrongLengthDisconnectsAndKeepsTheFields) {
  for (const char* length : {"--r16", "--r19"}) {
    SCOPED_TRACE(length);
    m_sim.Stop();
    Connected({length});
    SetFields("1", "2", "3", "4");
    Click("IDC_BUTTON_READ");
    ASSERT_EQ(Boxes().Boxes().size(), 1u);
    EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("受信データが不正です"));
    EXPECT_EQ(Boxes().Controls(), kDisconnected);
    EXPECT_EQ(Fields(), "1 2 3 4");
  }
  m_sim.Stop();
  Connected({"--r18"});
  Click("IDC_BUTTON_READ");
  EXPECT_TRUE(Boxes().Boxes().empty());
  EXPECT_EQ(Fields(), "12 3 5 1000");
}

// The unit goes away while connected: Read and Write report it and the
// window disconnects; a new unit on the same device connects again.
TEST_F(WorkflowTest, UnitThatDisappearsIsReportedAndANewConnectWorks) {
  Connected();
  const std::string device = m_sim.DevicePath();
  m_sim.Stop();
  Click("IDC_BUTTON_READ");
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("ZETA-7と通信できません"));
  EXPECT_EQ(Boxes().Controls(), kDisconnected);

  ASSERT_TRUE(m_sim.Start({"--version", "V9"}));
  WriteIni(IniBesideProgram(), ("[ports]\ncom1=" + m_sim.DevicePath() + "\n").c_str());
  SetComMap({{1, m_sim.DevicePath()}});
  Boxes().Clear();
  Click("IDC_BUTTON_CONNECT");
  EXPECT_TRUE(Boxes().Boxes().empty());
  EXPECT_EQ(VersionLine(), QString::fromUtf8("ファームウェアバージョン V9"));
}

TEST_F(WorkflowTest, EnterOnReadWriteAndDisconnectPressesThem) {
  Connected();
  auto pressEnter = [](QWidget* widget) {
    widget->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
  };
  pressEnter(Button("IDC_BUTTON_READ"));
  EXPECT_EQ(Fields(), "12 3 5 1000");
  Boxes().Answer(IDCANCEL);
  pressEnter(Button("IDC_BUTTON_WRITE"));
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("パラメータをZETA-7に書き込みます"));
  pressEnter(Button("IDC_BUTTON_DISCONNECT"));
  EXPECT_EQ(Boxes().Controls(), kDisconnected);
}

// ---- Faults: what the user sees when the line, the device or the settings
// misbehave. None of them may crash, hang or lose the settings file.

TEST_F(WorkflowTest, UnitHangingUpMidReplyLeavesTheWindowUsable) {
  OpenWithUnit({"--hangup"});
  Click("IDC_BUTTON_CONNECT");
  // The version reply breaks off. The hang-up usually discards what came
  // through and the handshake fails; should the program have read the first
  // half in time, it connects and the next exchange finds the line dead.
  if (Boxes().Boxes().empty()) {
    Click("IDC_BUTTON_READ");
    ASSERT_EQ(Boxes().Boxes().size(), 1u);
    EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("ZETA-7と通信できません"));
  } else {
    ASSERT_EQ(Boxes().Boxes().size(), 1u);
    EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("ZETA-7との通信が不正です"));
  }
  EXPECT_EQ(Boxes().Controls(), kDisconnected);
  // The device is gone with the unit; the next Connect says so.
  Boxes().Clear();
  Click("IDC_BUTTON_CONNECT");
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("COM1がオープンできません。"));
}

// Every way the port can fail to open names the port; while the box is up
// all six connection controls are off. A device held by a failed open is
// let go by the next Connect, so repeated attempts leak nothing.
TEST_F(WorkflowTest, OpenFailuresNameThePort) {
  ASSERT_TRUE(m_sim.Start());
  CComPort holder;
  const struct {
    const char* name;
    std::string device;
    bool hold;
  } cases[] = {
      {"absent", "/nonexistent/tty", false},
      {"not a terminal", "/dev/null", false},
      {"held by another program", m_sim.DevicePath(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteIni(IniBesideProgram(), ("[ports]\ncom9=" + c.device + "\n[com]\ncom=9\n").c_str());
    Open();
    if (c.hold) {
      ASSERT_EQ(holder.Open(9), 1);
    }
    Click("IDC_BUTTON_CONNECT");
    Click("IDC_BUTTON_CONNECT");
    ASSERT_EQ(Boxes().Boxes().size(), 2u);
    for (const RecordedBox& box : Boxes().Boxes()) {
      EXPECT_EQ(box.text, QString::fromUtf8("COM9がオープンできません。"));
      EXPECT_EQ(box.type, unsigned{MB_OK | MB_ICONSTOP});
      EXPECT_EQ(box.controls, kOpening);
    }
    EXPECT_EQ(Boxes().Controls(), kDisconnected);
    EXPECT_TRUE(VersionLine().isEmpty());
  }
  // Once the other program lets go, Connect works.
  holder.Close();
  Boxes().Clear();
  Click("IDC_BUTTON_CONNECT");
  EXPECT_TRUE(Boxes().Boxes().empty());
  EXPECT_EQ(Boxes().Controls(), kConnected);
}

TEST_F(WorkflowTest, EndlessStreamEndsTheExchange) {
  OpenWithUnit({"--stream"});
  Click("IDC_BUTTON_CONNECT");
  Click("IDC_BUTTON_READ");
  ASSERT_FALSE(Boxes().Boxes().empty());
  EXPECT_EQ(Boxes().Controls(), kDisconnected);
}

TEST_F(WorkflowTest, GarbageSettingsFileGivesDefaultsAndKeepsItsBytes) {
  std::string garbage(4096, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) % 251);
  garbage += "\n\r\r[position]\nleft=abc\n";
  {
    QFile file(QString::fromStdString(IniBesideProgram()));
    udk_MakeFolder(m_dir.filePath(QStringLiteral("bin")).toUtf8().constData());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage.data(), static_cast<qint64>(garbage.size()));
  }
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(dlg.ComPort(), 1);
  EXPECT_EQ(dlg.BaudIndex(), 0);
  EXPECT_EQ(dlg.x(), 0);  // "abc" reads as 0

  dlg.move(50, 60);
  Boxes().Answer(IDOK);
  ASSERT_TRUE(dlg.close());
  QFile file(QString::fromStdString(IniBesideProgram()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().startsWith(QByteArray(garbage.data(), 4096)));
  iniacs ini;
  ini.SetPath(IniBesideProgram());
  EXPECT_EQ(ini.GetInt("position", "left"), 50);
  EXPECT_EQ(ini.GetInt("com", "com"), 1);
}

TEST_F(WorkflowTest, NoHomeAndNoConfigFolderGivesMessageA) {
  const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  unsetenv("XDG_CONFIG_HOME");
  m_dialog = std::make_unique<CZeta7Dlg>();
  m_recorder = std::make_unique<BoxRecorder>(m_dialog.get());
  m_dialog->SetLocationServices(SystemLocationServices());
  m_dialog->Create();
  setenv("HOME", home.constData(), 1);
  if (!config.isEmpty()) setenv("XDG_CONFIG_HOME", config.constData(), 1);

  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text,
            QString::fromUtf8("Windowsのバージョンの取得もしくは\n"
                              "アプリケーションフォルダの取得に失敗しました。"));
  EXPECT_EQ(Boxes().Boxes()[0].type, unsigned{MB_OK});
  EXPECT_EQ(QFileInfo(QString::fromStdString(m_dialog->IniPath())).fileName(),
            QCoreApplication::applicationName() + QStringLiteral(".ini"));
}

// Two copies share one file; the one closed last decides what the next
// start reads, and the file stays whole.
TEST_F(WorkflowTest, TwoCopiesClosingOneAfterTheOtherLastOneWins) {
  WriteIni(IniBesideProgram(), "; shared\n[com]\ncom=2\n");
  auto first = std::make_unique<CZeta7Dlg>();
  first->SetLocationServices(Services());
  first->Create();
  auto second = std::make_unique<CZeta7Dlg>();
  second->SetLocationServices(Services());
  second->Create();
  BoxRecorder recorder(first.get());
  first->move(11, 12);
  second->move(21, 22);
  ASSERT_TRUE(first->close());
  ASSERT_TRUE(second->close());

  iniacs ini;
  ini.SetPath(IniBesideProgram());
  EXPECT_EQ(ini.GetInt("position", "left"), 21);
  EXPECT_EQ(ini.GetInt("position", "top"), 22);
  EXPECT_EQ(ini.GetInt("com", "com"), 2);
  QFile file(QString::fromStdString(IniBesideProgram()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "; shared\n[com]\ncom=2\nbps=0\n[position]\nleft=21\ntop=22\n");
}

}  // namespace
