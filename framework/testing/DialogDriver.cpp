#include "DialogDriver.h"

#include <cstdlib>

CWnd& CDialogDriver::Control(int id) const {
  CWnd* control = m_dialog.GetDlgItem(id);
  if (!control) std::abort();  // a test naming a control the dialog lacks
  return *control;
}

std::string CDialogDriver::Text(int id) const { return Control(id).GetWindowTextString(); }

void CDialogDriver::SetText(int id, const std::string& text) {
  Control(id).SetWindowText(text.c_str());
}

bool CDialogDriver::IsEnabled(int id) const { return Control(id).IsWindowEnabled() != FALSE; }

bool CDialogDriver::IsChecked(int id) const {
  return m_dialog.IsDlgButtonChecked(id) == BST_CHECKED;
}

int CDialogDriver::Selection(int id) const {
  return static_cast<CComboBox&>(Control(id)).GetCurSel();
}

int CDialogDriver::Count(int id) const { return static_cast<CComboBox&>(Control(id)).GetCount(); }

std::string CDialogDriver::ItemText(int id, int index) const {
  return static_cast<CComboBox&>(Control(id)).GetLBText(index);
}

std::string CDialogDriver::ItemTip(int id, int index) const {
  return static_cast<CComboBox&>(Control(id)).GetItemTip(index);
}

int CDialogDriver::FocusId() const {
  CWnd* focus = CWnd::GetFocus();
  return focus ? focus->GetDlgCtrlID() : 0;
}

CRect CDialogDriver::Rect(int id) const {
  CRect rect;
  Control(id).GetWindowRect(&rect);
  return rect;
}

CRect CDialogDriver::WindowRect() const {
  CRect rect;
  m_dialog.GetWindowRect(&rect);
  return rect;
}

CRect CDialogDriver::ClientRect() const {
  CRect rect;
  m_dialog.GetClientRect(&rect);
  return rect;
}

std::string CDialogDriver::Title() const { return m_dialog.GetWindowTextString(); }

bool CDialogDriver::IsVisible() const { return m_dialog.IsWindowVisible() != FALSE; }

void CDialogDriver::MoveTo(int x, int y) {
  const CRect rect = WindowRect();
  m_dialog.SetWindowPos(x, y, rect.Width(), rect.Height(), 0);
}

std::vector<std::string> CBoxRecorder::TakeTexts() {
  std::vector<std::string> texts;
  for (const Box& box : m_boxes) texts.push_back(box.text);
  m_boxes.clear();
  return texts;
}

int CBoxRecorder::Show(const MessageBoxRequest& request) {
  m_boxes.push_back({request.caption, request.text, request.type,
                     m_snapshot ? m_snapshot() : std::string(), request.detail});
  if (m_answers.empty()) return IDOK;
  const int answer = m_answers.front();
  m_answers.pop_front();
  return answer;
}

void CRecordingClock::Sleep(int ms) {
  m_sleeps.push_back(ms);
  if (m_bRealTime) CClock::Sleep(ms);
}
