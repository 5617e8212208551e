// CEditValue: the digits-only field for the four numeric parameters.
//
// While the user types it lets through decimal digits (only while the text
// is shorter than m_nMaxChars) and backspace, and drops every other
// character silently; text set by the program or pasted through the context
// menu is not filtered. GetValue converts the text and tests it against
// [m_nMin, m_nMax]. The owning dialog attaches the field to its edit control
// and writes the three limits before the user types; nothing else changes
// them. User-interface thread only.
//
// Typed characters reach OnChar one at a time as WM_CHAR, before the edit
// control inserts them: the control characters that carry the clipboard
// and undo shortcuts (Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z) are dropped like any
// other, so those shortcuts do nothing here, and so are input-method
// commits of anything but digits. Keys that are not characters (arrows,
// Home, End, Delete, Enter, Escape, Tab) never come here.
#pragma once

#include "AfxWin.h"

class CEditValue : public CEdit {
 public:
  CEditValue() = default;
  ~CEditValue() override;

  // 0 valid (value written), -1 out of range (value written), -2 empty
  // (value untouched). Converts at most the first 255 bytes of the text.
  int GetValue(int* value) const;

  int m_nMin = 0;
  int m_nMax = 0;
  int m_nMaxChars = 0;  // compared as an unsigned count

 protected:
  const AFX_MSGMAP* GetMessageMap() const override;
  // Hands a digit on (while the first 15 bytes of the text are shorter than
  // m_nMaxChars, whatever is selected) and backspace; drops the rest.
  void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
};
