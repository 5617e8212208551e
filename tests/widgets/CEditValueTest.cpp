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

  std::string Text() const { return edit.text().toStdString(); }

  CEditValue edit;
};

TEST_F(CEditValueTest, TypedCharactersAreFilteredAndCapped) {
  enum Cursor { kEnd, kAll, kStart };
  const QString none;
  const QString del(QChar(0x7f));  // the text some platforms attach to Delete
  const struct {
    const char* name;
    int cap;
    const char* initial;
    Cursor cursor;
    Qt::Key key;
    QString text;
    Qt::KeyboardModifiers mods;
    const char* expected;
  } cases[] = {
      {"digit below cap", 3, "12", kEnd, Qt::Key_4, "4", {}, "124"},
      {"digit at cap", 3, "123", kEnd, Qt::Key_4, "4", {}, "123"},
      {"leading zeros count", 3, "007", kEnd, Qt::Key_7, "7", {}, "007"},
      {"at cap, all selected", 3, "123", kAll, Qt::Key_4, "4", {}, "123"},
      {"keypad digit", 3, "1", kEnd, Qt::Key_2, "2", Qt::KeypadModifier, "12"},
      {"cap 16 reads 15", 16, "1234567890123456", kEnd, Qt::Key_7, "7", {}, "12345678901234567"},
      {"minus", 3, "1", kEnd, Qt::Key_Minus, "-", {}, "1"},
      {"letter", 3, "1", kEnd, Qt::Key_A, "a", {}, "1"},
      {"full-width digit", 3, "1", kEnd, Qt::Key_unknown, QString::fromUtf8("２"), {}, "1"},
      {"backspace with text", 3, "123", kEnd, Qt::Key_Backspace, "\b", {}, "12"},
      {"backspace without text", 3, "123", kEnd, Qt::Key_Backspace, none, {}, "12"},
      {"delete without text", 3, "123", kStart, Qt::Key_Delete, none, {}, "23"},
      {"delete with DEL text", 3, "123", kStart, Qt::Key_Delete, del, {}, "23"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    edit.m_nMaxChars = c.cap;
    edit.setText(c.initial);
    if (c.cursor == kAll) edit.selectAll();
    if (c.cursor == kStart) edit.setCursorPosition(0);
    Press(&edit, c.key, c.text, c.mods);
    EXPECT_EQ(Text(), c.expected);
  }
}

TEST_F(CEditValueTest, ClipboardAndUndoShortcutsDoNothing) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText("99");
  if (clipboard->text() != "99") GTEST_SKIP() << "no clipboard on this platform";

  // The control character as X11 and the original platform deliver it, and
  // an empty text as other platforms may.
  const std::pair<Qt::Key, QString> presses[] = {
      {Qt::Key_C, QString(QChar(3))},  {Qt::Key_V, QString(QChar(22))},
      {Qt::Key_X, QString(QChar(24))}, {Qt::Key_Z, QString(QChar(26))},
      {Qt::Key_V, QString()},          {Qt::Key_Z, QString()}};
  for (const auto& p : presses) {
    SCOPED_TRACE("key " + std::to_string(p.first) + " text length " +
                 std::to_string(p.second.size()));
    // One typed digit gives the undo stack something to undo.
    edit.setText("12");
    Press(&edit, Qt::Key_3, "3");
    edit.selectAll();
    Press(&edit, p.first, p.second, Qt::ControlModifier);
    EXPECT_EQ(Text(), "123");                          // not pasted over, cut or undone
    EXPECT_EQ(clipboard->text().toStdString(), "99");  // not copied or cut
  }
}

TEST_F(CEditValueTest, InputMethodCommitsAreFilteredPerCharacter) {
  const struct {
    const char* name;
    const char* initial;
    const char* commit;  // UTF-8
    const char* expected;
  } cases[] = {{"full-width digits", "1", "１２", "1"},
               {"kana", "1", "かな", "1"},
               {"mixed", "", "1a２3", "13"},
               {"capped within the commit", "1", "2345", "123"},
               {"at cap", "123", "4", "123"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    edit.setText(c.initial);
    Commit(&edit, QString::fromUtf8(c.commit));
    EXPECT_EQ(Text(), c.expected);
  }

  // Composing text is not field text; a dropped commit ends the composition
  // and a later digit lands with no trace of it.
  edit.setText("1");
  Commit(&edit, QString(), QString::fromUtf8("けん"));
  EXPECT_EQ(Text(), "1");
  Commit(&edit, QString::fromUtf8("県"));
  Commit(&edit, "5");
  EXPECT_EQ(Text(), "15");
  EXPECT_EQ(edit.cursorPosition(), 2);
}

TEST_F(CEditValueTest, GetValueConvertsAndChecksTheRange) {
  constexpr int kUntouched = 12345;
  const std::string longText = std::string(254, '0') + "12";  // only "0...01" is seen
  const struct {
    const char* text;
    int min, max;
    int result;
    int value;
  } cases[] = {{"-5", 0, 15, -1, -5},
               {"99999999999", 0, 32767, -1, INT_MAX},
               {longText.c_str(), 0, 32767, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + std::string(c.text).substr(0, 20) + "\"");
    edit.setText(c.text);
    edit.m_nMin = c.min;
    edit.m_nMax = c.max;
    int value = kUntouched;
    EXPECT_EQ(edit.GetValue(&value), c.result);
    EXPECT_EQ(value, c.value);
  }
}

}  // namespace
