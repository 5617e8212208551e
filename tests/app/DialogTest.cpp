// The main window without a unit: start-up, keys, the close question, the
// remembered settings and the connection failures.
#include <QCloseEvent>
#include <QKeyEvent>
#include <QListView>
#include <QTest>

#include "DialogFixture.h"

namespace {

std::string ReadFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

}  // namespace

TEST_F(DialogTest, StartsDisconnectedWithFilledListsAndVersionTitle) {
  CZeta7Dlg& dlg = Open();

  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("ZETA-7設定ユーティリティ 1.02"));
  QComboBox* ports = Combo("IDC_COMBO_COMPORT");
  ASSERT_EQ(ports->count(), 255);
  EXPECT_EQ(ports->itemText(0), "COM1");
  EXPECT_EQ(ports->itemText(254), "COM255");
  EXPECT_EQ(ports->currentIndex(), 0);
  QComboBox* speeds = Combo("IDC_COMBO_BAUDRATE");
  ASSERT_EQ(speeds->count(), 4);
  EXPECT_EQ(speeds->itemText(0), "38400bps");
  EXPECT_EQ(speeds->itemText(1), "19200bps");
  EXPECT_EQ(speeds->itemText(2), "9600bps");
  EXPECT_EQ(speeds->itemText(3), "4800bps");
  EXPECT_EQ(speeds->currentIndex(), 0);

  EXPECT_EQ(Boxes().Controls(), kDisconnected);
  for (const char* field :
       {"IDC_EDIT_CHANNEL", "IDC_EDIT_ID", "IDC_EDIT_RETRY_COUNT", "IDC_EDIT_RETRY_INTERVAL"}) {
    EXPECT_TRUE(Edit(field)->isEnabled()) << field;
    EXPECT_TRUE(Edit(field)->text().isEmpty()) << field;
  }
  EXPECT_FALSE(Control<QCheckBox>("IDC_CHECK_INFINITE_RETRY")->isChecked());
  EXPECT_EQ(Edit("IDC_EDIT_CHANNEL")->m_nMaxChars, 3);
  EXPECT_EQ(Edit("IDC_EDIT_RETRY_INTERVAL")->m_nMax, 32767);

  QLabel* version = Control<QLabel>("IDC_STATIC_VERSION");
  EXPECT_TRUE(version->text().isEmpty());
  EXPECT_EQ(version->x(), 0);
  EXPECT_EQ(version->width(), dlg.width());
  EXPECT_EQ(version->geometry().bottom(), dlg.height() - 1);

  EXPECT_EQ(dlg.focusWidget(), ports);
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_TRUE(Boxes().Boxes().empty());
}

// Stored port and speed select their entries; values outside the lists
// leave no selection but are kept for Connect and for the next save.
TEST_F(DialogTest, StoredPortAndSpeedSelectEntriesOrNone) {
  WriteIni(IniBesideProgram(), "[com]\ncom=255\nbps=3\n");
  Open();
  EXPECT_EQ(Combo("IDC_COMBO_COMPORT")->currentText(), "COM255");
  EXPECT_EQ(Combo("IDC_COMBO_BAUDRATE")->currentText(), "4800bps");
  m_dialog.reset();

  WriteIni(IniBesideProgram(), "[com]\ncom=0\nbps=-2\n");
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(Combo("IDC_COMBO_COMPORT")->currentIndex(), -1);
  EXPECT_EQ(Combo("IDC_COMBO_BAUDRATE")->currentIndex(), -1);
  EXPECT_EQ(dlg.ComPort(), 0);
  EXPECT_EQ(dlg.BaudIndex(), -2);
}

TEST_F(DialogTest, ListChoicesTakeEffectThroughActivation) {
  CZeta7Dlg& dlg = Open();
  QComboBox* ports = Combo("IDC_COMBO_COMPORT");
  // A programmatic selection is not a user's choice.
  ports->setCurrentIndex(4);
  EXPECT_EQ(dlg.ComPort(), 1);
  emit ports->activated(4);
  EXPECT_EQ(dlg.ComPort(), 5);
  Combo("IDC_COMBO_BAUDRATE")->setCurrentIndex(2);
  emit Combo("IDC_COMBO_BAUDRATE")->activated(2);
  EXPECT_EQ(dlg.BaudIndex(), 2);
}

// A unit that never answers: the handshake fails while the window shows
// Connected, the port stays held, and a second Connect reopens it.
TEST_F(DialogTest, SilentUnitFailsHandshakeAndReconnectReopens) {
  SilentPty pty;
  ASSERT_FALSE(pty.Path().empty());
  WriteIni(IniBesideProgram(), ("[ports]\ncom1=" + pty.Path() + "\n[com]\nbps=-2\n").c_str());
  CZeta7Dlg& dlg = Open();

  QTest::mouseClick(Button("IDC_BUTTON_CONNECT"), Qt::LeftButton);
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("ZETA-7と通信できません"));
  EXPECT_EQ(Boxes().Boxes()[0].controls, kConnected);
  EXPECT_EQ(Boxes().Controls(), kDisconnected);
  // The empty command went out as CR LF, at the default speed for an
  // index outside the list.
  EXPECT_EQ(pty.Drain(), "\r\n");
  EXPECT_EQ(pty.Speed(), speed_t{B38400});
  EXPECT_EQ(dlg.BaudIndex(), -2);

  Boxes().Clear();
  QTest::mouseClick(Button("IDC_BUTTON_CONNECT"), Qt::LeftButton);
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("ZETA-7と通信できません"));
}

TEST_F(DialogTest, EnterPressesOnlyTheFocusedButtonAndEscapeDoesNothing) {
  WriteIni(IniBesideProgram(), "[ports]\ncom1=/nonexistent/tty\n");
  CZeta7Dlg& dlg = Open();

  // Enter in a field, a list or the check box: nothing, and the window stays.
  for (const char* name : {"IDC_EDIT_CHANNEL", "IDC_COMBO_COMPORT", "IDC_CHECK_INFINITE_RETRY"}) {
    QWidget* widget = Control<QWidget>(name);
    widget->setFocus();
    PressKey(widget, Qt::Key_Return);
    PressKey(widget, Qt::Key_Enter);
    PressKey(widget, Qt::Key_Escape);
  }
  PressKey(&dlg, Qt::Key_Escape);
  EXPECT_TRUE(Boxes().Boxes().empty());
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), 0);

  // Enter on Connect presses it, as a click would.
  QPushButton* connectButton = Button("IDC_BUTTON_CONNECT");
  connectButton->setFocus();
  PressKey(connectButton, Qt::Key_Return);
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("COM1がオープンできません。"));
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
// keeps everything else in the file.
TEST_F(DialogTest, CloseQuestion) {
  WriteIni(IniBesideProgram(), "; mine\n[ports]\ncom3=/dev/null\n[com]\ncom=3\nbps=1\n");
  CZeta7Dlg& dlg = Open();
  Boxes().Answer(IDCANCEL);
  EXPECT_FALSE(dlg.close());
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text, QString::fromUtf8("終了しますか？"));
  EXPECT_EQ(Boxes().Boxes()[0].type, unsigned{MB_OKCANCEL | MB_ICONEXCLAMATION});
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(ReadFile(IniBesideProgram()), "; mine\n[ports]\ncom3=/dev/null\n[com]\ncom=3\nbps=1\n");

  dlg.move(40, 30);
  Combo("IDC_COMBO_BAUDRATE")->setCurrentIndex(2);
  emit Combo("IDC_COMBO_BAUDRATE")->activated(2);
  Boxes().Answer(IDOK);
  EXPECT_TRUE(dlg.close());
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(ReadFile(IniBesideProgram()),
            "; mine\n[ports]\ncom3=/dev/null\n[com]\ncom=3\nbps=2\n"
            "[position]\nleft=40\ntop=30\n");
}

// What is stored is where the window comes back: no drift from start to start.
TEST_F(DialogTest, StoredPositionRestoresExactlyAndDoesNotCreep) {
  WriteIni(IniBesideProgram(), "[position]\nleft=123\ntop=77\n");
  for (int run = 0; run < 3; ++run) {
    CZeta7Dlg& dlg = Open();
    EXPECT_EQ(dlg.pos(), QPoint(123, 77)) << "run " << run;
    Boxes().Answer(IDOK);
    dlg.close();
    m_recorder.reset();
    m_dialog.reset();
  }
}

TEST_F(DialogTest, AbsentPositionCentresOnTheWorkArea) {
  WriteIni(IniBesideProgram(), "[position]\ntop=-1\nleft=15\n");
  CZeta7Dlg& dlg = Open();
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(dlg.x(), 15);
  // The frame is not known before the window is first shown, so the
  // centring goes by the window's own size.
  EXPECT_EQ(dlg.y(), (work.height() - dlg.height()) / 2);
}

TEST_F(DialogTest, SettingsFolderIsCreatedAtStartWhenNoFileLiesBesideTheProgram) {
  CZeta7Dlg& dlg = Open();
  EXPECT_EQ(dlg.IniPath(), IniInUserFolder());
  EXPECT_TRUE(QFileInfo(QString::fromStdString(m_userFolder + "/Quillbeck/ZETA-7")).isDir());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(IniInUserFolder())));

  m_userFolder = "/proc/no-such-place";
  m_dialog.reset();
  Open();
  ASSERT_EQ(Boxes().Boxes().size(), 1u);
  EXPECT_EQ(Boxes().Boxes()[0].text,
            QString::fromUtf8("ユーザアプリケーションフォルダの生成に失敗しました。"));
  EXPECT_EQ(Boxes().Boxes()[0].type, unsigned{MB_OK});
  EXPECT_EQ(m_dialog->IniPath(), IniBesideProgram());
}
