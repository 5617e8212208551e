// CEditValue: the digits-only field for the four numeric parameters.
//
// While the user types it lets through decimal digits (only while the text
// is shorter than m_nMaxChars) and backspace, and drops every other
// character silently; text set by the program or pasted through the context
// menu is not filtered. GetValue converts the text and tests it against
// [m_nMin, m_nMax]. The owning dialog writes the three limits before the user
// types; nothing else changes them. User-interface thread only.
//
// Typed characters arrive two ways, and both go through OnChar one
// character at a time: key presses that carry text, and input-method
// commits (so a full-width digit or a kana committed by an input method is
// dropped like a typed letter). A key press that carries a control character
// other than backspace (Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z, ...) is swallowed
// whole, so those shortcuts do nothing here. Keys that are not characters
// (arrows, Home, End, Delete, Enter, Escape, Tab) keep the line edit's own
// behaviour.
#pragma once

#include <QLineEdit>

class QString;

class CEditValue : public QLineEdit {
  Q_OBJECT
 public:
  explicit CEditValue(QWidget* parent = nullptr);
  ~CEditValue() override;

  // 0 valid (value written), -1 out of range (value written), -2 empty
  // (value untouched). Converts at most the first 255 bytes of the text.
  int GetValue(int* value) const;

  int m_nMin = 0;
  int m_nMax = 0;
  int m_nMaxChars = 0;  // compared as an unsigned count

 protected:
  // Returns true when the character is handed on to the line edit. A digit
  // passes only while the current text (at most its first 15 bytes are
  // counted) is shorter than m_nMaxChars, whatever is selected.
  bool OnChar(unsigned int ch);
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  // The characters a key press would type, or an empty string for a key
  // that types nothing.
  static QString TypedText(const QKeyEvent* event);
};
