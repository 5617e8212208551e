#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTest>
#include <climits>
#include <string>

#include "CEditValue.h"

namespace {

// Presses and releases a key as the platform delivers it, shortcut override
// first, with the text the platform would attach.
void Press(CEditValue* edit, Qt::Key key, const QString& text,
           Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::sendKeyEvent(QTest::Click, edit, key, text, mods);
}

void Commit(CEditValue* edit, const QString& commit, const QString& preedit = QString()) {
  QInputMethodEvent event(preedit, {});
  event.setCommitString(commit);
  QApplication::sendEvent(edit, &event);
}

class CEditValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    edit.m_nMin = 7;
    edit.m_nMax = 46;
    edit.m_nMaxChars = 3;
    edit.show();
    edit.setFocus();
  }

  // Text as the field shows it, for readable failure messages.
  std::string Text() const { return edit.text().toStdString(); }

  CEditValue edit;
};

struct TypingCase {
  const char* name;
  int cap;
  const char* initial;
  bool selectAll;
  Qt::Key key;
  QString text;
  Qt::KeyboardModifiers mods;
  const char* expected;
};

TEST_F(CEditValueTest, TypedCharactersAreFilteredAndCapped) {
  const QString none;
  const TypingCase cases[] = {
      {"digit below cap", 3, "12", false, Qt::Key_4, "4", {}, "124"},
      {"digit at cap", 3, "123", false, Qt::Key_4, "4", {}, "123"},
      {"leading zeros count", 3, "00", false, Qt::Key_7, "7", {}, "007"},
      {"leading zeros at cap", 3, "007", false, Qt::Key_7, "7", {}, "007"},
      {"digit at cap, all selected", 3, "123", true, Qt::Key_4, "4", {}, "123"},
      {"keypad digit", 3, "1", false, Qt::Key_2, "2", Qt::KeypadModifier, "12"},
      {"cap zero", 0, "", false, Qt::Key_1, "1", {}, ""},
      {"cap of 16 sees only 15 bytes",
       16,
       "1234567890123456",
       false,
       Qt::Key_7,
       "7",
       {},
       "12345678901234567"},
      {"minus", 3, "1", false, Qt::Key_Minus, "-", {}, "1"},
      {"plus", 3, "1", false, Qt::Key_Plus, "+", {}, "1"},
      {"letter", 3, "1", false, Qt::Key_A, "a", {}, "1"},
      {"full-width digit", 3, "1", false, Qt::Key_unknown, QString::fromUtf8("２"), {}, "1"},
      {"backspace with text", 3, "123", false, Qt::Key_Backspace, "\b", {}, "12"},
      {"backspace without text", 3, "123", false, Qt::Key_Backspace, none, {}, "12"},
      {"backspace over a selection", 3, "123", true, Qt::Key_Backspace, "\b", {}, ""},
  };
  for (const TypingCase& c : cases) {
    SCOPED_TRACE(c.name);
    edit.m_nMaxChars = c.cap;
    edit.setText(c.initial);
    if (c.selectAll) edit.selectAll();
    Press(&edit, c.key, c.text, c.mods);
    EXPECT_EQ(Text(), c.expected);
  }
}

TEST_F(CEditValueTest, MovingAndDeletingKeysKeepTheirBehaviour) {
  // Delete is tried without text and with the DEL character some platforms
  // attach to it; both must delete, not be dropped as a control character.
  for (const QString& delText : {QString(), QString(QChar(0x7f))}) {
    edit.setText("1234");
    Press(&edit, Qt::Key_Left, QString());
    Press(&edit, Qt::Key_Left, QString());
    Press(&edit, Qt::Key_Delete, delText);
    EXPECT_EQ(Text(), "124");
    Press(&edit, Qt::Key_Home, QString());
    Press(&edit, Qt::Key_Delete, delText);
    EXPECT_EQ(Text(), "24");
    Press(&edit, Qt::Key_End, QString());
    Press(&edit, Qt::Key_Backspace, "\b");
    EXPECT_EQ(Text(), "2");
  }
}

TEST_F(CEditValueTest, EnterAndEscapeReachTheDialog) {
  // The dialog decides what Enter and Escape do, so the field must leave
  // them unaccepted for propagation, even with a control-character text.
  const struct {
    Qt::Key key;
    const char* text;
  } keys[] = {{Qt::Key_Return, "\r"}, {Qt::Key_Enter, "\r"}, {Qt::Key_Escape, "\x1b"}};
  for (const auto& k : keys) {
    edit.setText("12");
    QKeyEvent press(QEvent::KeyPress, k.key, Qt::NoModifier, QString::fromLatin1(k.text));
    QApplication::sendEvent(&edit, &press);
    EXPECT_FALSE(press.isAccepted()) << "key " << k.key;
    EXPECT_EQ(Text(), "12");
  }
}

TEST_F(CEditValueTest, ClipboardAndUndoShortcutsDoNothing) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText("99");
  if (clipboard->text() != "99") GTEST_SKIP() << "no clipboard on this platform";

  // The control character as X11 and the original platform deliver it, an
  // empty text as other platforms may, and the plain letter QTest sends.
  const struct {
    Qt::Key key;
    QString text;
  } presses[] = {
      {Qt::Key_C, QString(QChar(3))},
      {Qt::Key_V, QString(QChar(22))},
      {Qt::Key_X, QString(QChar(24))},
      {Qt::Key_Z, QString(QChar(26))},
      {Qt::Key_C, QString()},
      {Qt::Key_V, QString()},
      {Qt::Key_X, QString()},
      {Qt::Key_Z, QString()},
      {Qt::Key_V, "v"},
      {Qt::Key_Z, "z"},
  };
  for (const auto& p : presses) {
    SCOPED_TRACE("key " + std::to_string(p.key) + " text length " + std::to_string(p.text.size()));
    // One typed digit gives the undo stack something to undo.
    edit.setText("12");
    Press(&edit, Qt::Key_3, "3");
    edit.selectAll();
    Press(&edit, p.key, p.text, Qt::ControlModifier);
    EXPECT_EQ(Text(), "123");                          // not pasted over, not cut, not undone
    EXPECT_EQ(clipboard->text().toStdString(), "99");  // not copied or cut
  }
}

TEST_F(CEditValueTest, InputMethodCommitsAreFilteredPerCharacter) {
  const struct {
    const char* name;
    const char* initial;
    const char* commit;  // UTF-8
    const char* expected;
  } cases[] = {
      {"full-width digits", "1", "１２", "1"},
      {"kana", "1", "かな", "1"},
      {"ascii digit", "1", "5", "15"},
      {"mixed", "", "1a２3", "13"},
      {"capped within the commit", "1", "2345", "123"},
      {"at cap", "123", "4", "123"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    edit.setText(c.initial);
    Commit(&edit, QString::fromUtf8(c.commit));
    EXPECT_EQ(Text(), c.expected);
  }
}

TEST_F(CEditValueTest, PreeditPassesAndDroppedCommitClearsIt) {
  edit.setText("1");
  Commit(&edit, QString(), QString::fromUtf8("けん"));
  EXPECT_EQ(Text(), "1");  // composing text is not field text
  // Committing a kana drops it; a later digit lands with no trace of it.
  Commit(&edit, QString::fromUtf8("県"));
  Commit(&edit, "5");
  EXPECT_EQ(Text(), "15");
  EXPECT_EQ(edit.cursorPosition(), 2);
}

struct ValueCase {
  const char* text;
  int min, max;
  int result;
  int value;  // expected in the int; for -2 the int keeps its sentinel
};

TEST_F(CEditValueTest, GetValueConvertsAndChecksTheRange) {
  constexpr int kSentinel = 12345;
  const std::string zeros254(254, '0');
  const std::string longText = zeros254 + "12";  // only "0...01" is seen
  const ValueCase cases[] = {
      {"", 7, 46, -2, kSentinel},
      {"7", 7, 46, 0, 7},
      {"46", 7, 46, 0, 46},
      {"6", 7, 46, -1, 6},
      {"47", 7, 46, -1, 47},
      {"007", 7, 46, 0, 7},
      {" 42", 0, 100, 0, 42},
      {"12abc", 0, 100, 0, 12},
      {"abc", 0, 15, 0, 0},
      {"-5", 0, 15, -1, -5},
      {"99999999999", 0, 32767, -1, INT_MAX},
      {"-99999999999", 0, 32767, -1, INT_MIN},
      {longText.c_str(), 0, 32767, 0, 1},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE("text \"" + std::string(c.text).substr(0, 20) + "\"");
    edit.setText(c.text);
    edit.m_nMin = c.min;
    edit.m_nMax = c.max;
    int value = kSentinel;
    EXPECT_EQ(edit.GetValue(&value), c.result);
    EXPECT_EQ(value, c.value);
  }
}

}  // namespace
