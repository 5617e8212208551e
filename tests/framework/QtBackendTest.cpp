// What the Qt backend must get right about Qt's own key events: the texts
// platforms attach (or do not) to Delete, Backspace, keypad digits and
// Ctrl+letter, the clipboard and undo shortcuts, and input-method
// composition, all on a numeric field in a one-field dialog; and the main
// window's texts under a dark palette.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "AfxDialog.h"
#include "AfxQt.h"
#include "AfxServices.h"
#include "CEditValue.h"
#include "FieldDialog.h"
#include "MainDialogTemplate.h"
#include "WindowFrameX11.h"

namespace {

class QtBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dialog.Create();
    m_dialog.m_edit.m_nMaxChars = 3;
    m_pEdit = static_cast<QLineEdit*>(m_dialog.m_edit.GetSafeHwnd());
    m_pEdit->setFocus();
  }
  void Press(Qt::Key key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::sendKeyEvent(QTest::Click, m_pEdit, key, text, mods);
  }
  std::string Text() const { return m_pEdit->text().toStdString(); }

  CFieldDlg m_dialog;
  QLineEdit* m_pEdit = nullptr;
};

TEST_F(QtBackendTest, KeysAsPlatformsDeliverThem) {
  const QString none;
  const QString del(QChar(0x7f));  // the text some platforms attach to Delete
  const struct {
    const char* name;
    const char* initial;
    bool atStart;
    Qt::Key key;
    QString text;
    Qt::KeyboardModifiers mods;
    const char* expected;
  } cases[] = {
      {"keypad digit", "1", false, Qt::Key_2, "2", Qt::KeypadModifier, "12"},
      {"backspace with text", "123", false, Qt::Key_Backspace, "\b", {}, "12"},
      {"backspace without text", "123", false, Qt::Key_Backspace, none, {}, "12"},
      {"delete without text", "123", true, Qt::Key_Delete, none, {}, "23"},
      {"delete with DEL text", "123", true, Qt::Key_Delete, del, {}, "23"},
      {"arrow then digit", "12", true, Qt::Key_Right, none, {}, "12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_pEdit->setText(c.initial);
    if (c.atStart) m_pEdit->setCursorPosition(0);
    Press(c.key, c.text, c.mods);
    EXPECT_EQ(Text(), c.expected);
  }
}

TEST_F(QtBackendTest, ClipboardAndUndoShortcutsDoNothing) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText("99");
  if (clipboard->text() != "99") GTEST_SKIP() << "no clipboard on this platform";

  // The control character as X11 delivers it, and an empty text as other
  // platforms may.
  const std::pair<Qt::Key, QString> presses[] = {
      {Qt::Key_C, QString(QChar(3))},  {Qt::Key_V, QString(QChar(22))},
      {Qt::Key_X, QString(QChar(24))}, {Qt::Key_Z, QString(QChar(26))},
      {Qt::Key_V, QString()},          {Qt::Key_Z, QString()}};
  for (const auto& p : presses) {
    SCOPED_TRACE("key " + std::to_string(p.first) + " text length " +
                 std::to_string(p.second.size()));
    // One typed digit gives the undo stack something to undo.
    m_pEdit->setText("12");
    Press(Qt::Key_3, "3");
    m_pEdit->selectAll();
    Press(p.first, p.second, Qt::ControlModifier);
    EXPECT_EQ(Text(), "123");                          // not pasted over, cut or undone
    EXPECT_EQ(clipboard->text().toStdString(), "99");  // not copied or cut
  }
}

// Composing text is not field text; a dropped commit ends the composition
// and a later digit lands with no trace of it.
TEST_F(QtBackendTest, CompositionPassesAndDroppedCommitsLeaveNoTrace) {
  m_pEdit->setText("1");
  QInputMethodEvent compose(QString::fromUtf8("けん"), {});
  QApplication::sendEvent(m_pEdit, &compose);
  EXPECT_EQ(Text(), "1");
  for (const char* commit : {"県", "5"}) {
    QInputMethodEvent event(QString(), {});
    event.setCommitString(QString::fromUtf8(commit));
    QApplication::sendEvent(m_pEdit, &event);
  }
  EXPECT_EQ(Text(), "15");
  EXPECT_EQ(m_pEdit->cursorPosition(), 2);
}

// The window says itself that it has nowhere to appear, before Qt lists
// its plugins; a platform the user chose, or a Wayland session, is Qt's.
TEST(DisplayCheck, MissingOnlyWithoutPlatformWaylandOrAnsweringX) {
  const struct {
    const char *qpa, *wayland, *display;
    bool reachable, missing;
  } cases[] = {
      {nullptr, nullptr, nullptr, false, true},      {"", "", "", false, true},
      {nullptr, nullptr, ":0", false, true},         {nullptr, nullptr, ":0", true, false},
      {"offscreen", nullptr, nullptr, false, false}, {nullptr, "wayland-0", nullptr, false, false},
      {"xcb", "wayland-0", nullptr, false, true},    {"xcb", nullptr, ":1", true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DisplayMissing(c.qpa, c.wayland, c.display, c.reachable), c.missing)
        << (c.qpa ? c.qpa : "-") << " " << (c.wayland ? c.wayland : "-") << " "
        << (c.display ? c.display : "-") << " " << c.reachable;
  }
}

}  // namespace

// The real message box: Qt's own buttons in Japanese, the text as plain
// text, the flavour's icon, and Escape answering Cancel.
TEST(QtMessageBox, JapaneseButtonsPlainTextAndCancelOnEscape) {
  if (!AfxLoadToolkitTranslations()) GTEST_SKIP() << "Qt's Japanese translation is not installed";
  QStringList buttons;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons()) buttons << button->text();
    format = box->textFormat();
    icon = box->icon();
    QTest::keyClick(box, Qt::Key_Escape);
  });
  const int answer =
      AfxSystemMessageBoxes().AppMessageBox(nullptr, "<b>終了しますか？</b>", MB_OKCANCEL);
  EXPECT_EQ(answer, IDCANCEL);
  buttons.sort();
  EXPECT_EQ(buttons.join(QLatin1Char('|')).toStdString(), "OK|キャンセル");
  EXPECT_EQ(format, Qt::PlainText);
  EXPECT_EQ(icon, QMessageBox::Warning);
}

// A box asked for over a window that is not shown yet (the settings
// folder's boxes, during the main window's initialisation) is a window of its
// own, shown and active, not a child of the hidden window.
TEST(QtMessageBox, BoxOverAHiddenWindowIsOnItsOwnAndActive) {
  CFieldDlg dialog;
  ASSERT_TRUE(dialog.Create());
  auto* hidden = static_cast<QWidget*>(dialog.GetSafeHwnd());
  ASSERT_FALSE(hidden->isVisible());
  QWidget* parent = hidden;
  bool visible = false;
  bool active = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    parent = box->parentWidget();
    visible = box->isVisible();
    active = QTest::qWaitForWindowActive(box);
    box->accept();
  });
  AfxSystemMessageBoxes().WindowMessageBox(&dialog, "フォルダ", MB_OK);
  EXPECT_EQ(parent, nullptr);
  EXPECT_TRUE(visible);
  EXPECT_TRUE(active);
}

// A label whose text does not fit its box takes the empty space to its
// right, never more than up to the next control of its row.
TEST(QtLayout, CutLabelsUseTheSpaceUpToTheNextControl) {
  static constexpr DialogItem kItems[] = {
      {-1, "", ControlKind::kLabel, "リトライ間隔[msec]", 5, 5, 70, 15, 0x50020200u},
      {200, "IDC_EDIT", ControlKind::kEdit, "", 80, 5, 40, 15, 0x50810080u},
      {-1, "", ControlKind::kLabel, "とても長いラベルのテキストです", 5, 30, 20, 15, 0x50020200u},
      {201, "IDC_RIGHT", ControlKind::kEdit, "", 40, 30, 40, 15, 0x50810080u},
      {-1, "", ControlKind::kLabel, "短い", 5, 55, 70, 15, 0x50020200u},
  };
  static constexpr DialogTemplate kTemplate = {
      2, "labels", "ＭＳ ゴシック", 9, 130, 80, 0x90CA00C0u, 0, 0x0411, kItems, 5};
  CDialog dialog(kTemplate);
  ASSERT_TRUE(dialog.Create());
  auto* window = static_cast<QWidget*>(dialog.GetSafeHwnd());
  QList<QLabel*> labels = window->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 3);
  std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
  const QWidget* edit = window->findChild<QWidget*>(QStringLiteral("IDC_EDIT"));
  const QWidget* right = window->findChild<QWidget*>(QStringLiteral("IDC_RIGHT"));
  const int needed = labels[0]->fontMetrics().horizontalAdvance(labels[0]->text());
  EXPECT_GE(labels[0]->width(), std::min(needed, edit->x() - labels[0]->x()));
  EXPECT_LE(labels[0]->geometry().right(), edit->x());
  EXPECT_EQ(labels[1]->x() + labels[1]->width(), right->x());  // stopped at the edit
  EXPECT_GT(labels[2]->width(), labels[2]->fontMetrics().horizontalAdvance(labels[2]->text()));
}

// ---- Dark palette ---------------------------------------------------------------

// WCAG's relative luminance and contrast ratio.
double Luminance(QRgb rgb) {
  auto channel = [](int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}
double Contrast(QRgb a, QRgb b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast any pixel of a widget's picture has against the
// colour of its middle left edge, where its background shows.
double TextContrast(QWidget* widget) {
  const QImage image = widget->grab().toImage();
  const QRgb background = image.pixel(1, image.height() / 2);
  double best = 1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      best = std::max(best, Contrast(image.pixel(x, y), background));
  }
  return best;
}

class CPlainMainDlg : public CDialog {
 public:
  CPlainMainDlg() : CDialog(IDD_MAIN_DIALOG) {}
};

// Under a dark palette every caption, the group box's, the status line's
// and those of disabled buttons stays readable: 3:1, the least for large
// text, and 2:1 for disabled text, which needs only to be seen. ZETA7_SHOTS names a folder for a
// picture of the window.
TEST(QtPalette, EveryTextStaysReadableUnderADarkPalette) {
  const QPalette before = QApplication::palette();
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
  dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
  dark.setColor(QPalette::Base, QColor(0x10, 0x10, 0x10));
  dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
  dark.setColor(QPalette::Button, QColor(0x38, 0x38, 0x38));
  dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
  dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x90, 0x90, 0x90));
  dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x90, 0x90, 0x90));
  dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x90, 0x90, 0x90));
  QApplication::setPalette(dark);
  {
    CPlainMainDlg dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.GetDlgItem(IDC_STATIC_VERSION)->SetWindowText("ファームウェアバージョン V1.02.03");
    dialog.GetDlgItem(IDC_BUTTON_READ)->EnableWindow(FALSE);
    auto* window = static_cast<QWidget*>(dialog.GetSafeHwnd());
    window->show();
    QApplication::processEvents();
    int looked = 0;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      const bool text = qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget);
      if (!text || !widget->isVisible() || widget->width() < 3) continue;
      SCOPED_TRACE(widget->objectName().toStdString() + " " +
                   widget->property("text").toString().toStdString());
      EXPECT_GE(TextContrast(widget), widget->isEnabled() ? 3.0 : 2.0);
      ++looked;
    }
    EXPECT_EQ(looked, 16);  // 9 labels, the status line, the caption, 5 buttons
    if (const QString shots = qEnvironmentVariable("ZETA7_SHOTS"); !shots.isEmpty())
      window->grab().save(shots + "/qt-dark.png");
  }
  QApplication::setPalette(before);
}
