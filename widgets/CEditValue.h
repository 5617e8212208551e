// CEditValue: the digits-only field for the four numeric parameters.
//
// While the user types it lets through decimal digits (only while the text
// is shorter than m_nMaxChars) and backspace, and drops every other
// character; text set by the program or pasted through the context menu is
// not filtered. GetValue converts the text and tests it against
// [m_nMin, m_nMax]. The owner writes the three limits before the user types.
#pragma once

#include <QLineEdit>

class CEditValue : public QLineEdit {
  Q_OBJECT
 public:
  explicit CEditValue(QWidget* parent = nullptr);
  ~CEditValue() override;

  // 0 valid (value written), -1 out of range (value written), -2 empty.
  int GetValue(int* value) const;

  int m_nMin;
  int m_nMax;
  int m_nMaxChars;

 protected:
  // Returns true when the character is handed on to the line edit.
  bool OnChar(unsigned int ch);
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
};
