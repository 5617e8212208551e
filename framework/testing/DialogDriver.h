// Drives a dialog as a user would, and reads its controls back, for tests
// that must run unchanged on every backend.
//
// Input goes through the toolkit's own input path (so the key filter, the
// edit's character handler and the message map all take part); reading goes
// through the framework's own operations. Controls are named by their ids.
// The services below stand in for the clock, the desktop and the message
// boxes. User-interface thread only.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "AfxDialog.h"
#include "AfxServices.h"

class CDialogDriver {
 public:
  explicit CDialogDriver(CDialog& dialog) : m_dialog(dialog) {}

  bool Has(int id) const { return m_dialog.GetDlgItem(id) != nullptr; }

  // A mouse click on a button or check box.
  void Click(int id);
  // The user picks entry index of a drop-down list (a selection the program
  // makes does not notify).
  void Choose(int id, int index);
  // Focuses the control and types the UTF-8 text one key per character:
  // "\b" is Backspace, other control characters are Ctrl+letter.
  void Type(int id, const std::string& text);
  // An input method commits text into the focused control.
  void Commit(int id, const std::string& text);
  // Selects the whole text of an edit, as a mouse drag over it would.
  void SelectAll(int id);
  // A key-down and key-up of a virtual key (VK_RETURN, VK_ESCAPE, ...) aimed
  // at the control, with Alt held when asked. True when the key reached the
  // control, false when the dialog's key filter consumed it.
  bool PressKey(int id, UINT vk, bool alt = false);
  // The same aimed at the opened list of a drop-down.
  bool PressKeyInList(int id, UINT vk);
  void OpenList(int id);
  bool IsListOpen(int id);
  void CloseList(int id);
  // The title-bar close button.
  void RequestClose();
  // Where the user would drag the window (outer top-left, screen
  // coordinates).
  void MoveTo(int x, int y);

  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  bool IsEnabled(int id) const;
  bool IsChecked(int id) const;
  int Selection(int id) const;
  int Count(int id) const;
  std::string ItemText(int id, int index) const;
  std::string ItemTip(int id, int index) const;
  int FocusId() const;
  CRect Rect(int id) const;       // screen coordinates
  CRect Placement(int id) const;  // in the dialog's client coordinates
  CRect WindowRect() const;
  CRect ClientRect() const;
  std::string Title() const;
  bool IsVisible() const;
  // True when the control shows its text as it is, never as markup.
  bool IsPlainText(int id) const;
  // True when the window cannot be resized by the user.
  bool IsFixedSize() const;

 private:
  CWnd& Control(int id) const;
  CDialog& m_dialog;
};

// Answers every box from a queue of answers (IDOK once it is empty) and
// records what was asked, with a snapshot that the test chooses (for
// example which controls were enabled) taken while the box is up.
class CBoxRecorder : public CMessageBoxes {
 public:
  struct Box {
    std::string caption;
    std::string text;
    UINT type;
    std::string snapshot;
    std::string detail;
  };

  std::vector<Box> m_boxes;
  std::deque<int> m_answers;
  std::function<std::string()> m_snapshot;

  // The texts of the boxes shown since the last call.
  std::vector<std::string> TakeTexts();

 protected:
  int Show(const MessageBoxRequest& request) override;
};

// Records every wait and passes it on to the real clock (a simulated unit
// on a pseudo-terminal lives in real time); a test that owns the whole
// timeline switches the real waits off.
class CRecordingClock : public CClock {
 public:
  void Sleep(int ms) override;
  std::vector<int> m_sleeps;
  bool m_bRealTime = true;
};

class CFixedDesktop : public CDesktop {
 public:
  CFixedDesktop(const CRect& work, const CPoint& origin) : m_work(work), m_origin(origin) {}
  CRect GetWorkArea() const override { return m_work; }
  CPoint GetScreenOrigin() const override { return m_origin; }

 private:
  CRect m_work;
  CPoint m_origin;
};
