#include "AfxWin.h"

#include <cstring>

#include "AfxBackend.h"

namespace {

// The number of bytes of text that fit in size - 1 without cutting a UTF-8
// sequence in two.
size_t FittingBytes(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

CWnd::~CWnd() { Detach(); }

BOOL CWnd::Attach(HWND hWnd) {
  if (hWnd == nullptr || m_hWnd != nullptr) return FALSE;
  m_hWnd = hWnd;
  afxbackend::SetOwner(hWnd, this);
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hWnd = m_hWnd;
  if (hWnd != nullptr && afxbackend::OwnerOf(hWnd) == this) afxbackend::SetOwner(hWnd, nullptr);
  m_hWnd = nullptr;
  return hWnd;
}

BOOL CWnd::SubclassDlgItem(int nID, CWnd* pParent) {
  if (pParent == nullptr || pParent->m_hWnd == nullptr) return FALSE;
  HWND hWnd = afxbackend::ChildById(pParent->m_hWnd, nID);
  if (hWnd == nullptr) return FALSE;
  // The dialog's stand-in object for this control gives way to this one.
  if (CWnd* previous = afxbackend::OwnerOf(hWnd)) previous->Detach();
  return Attach(hWnd);
}

CWnd* CWnd::FromHandle(HWND hWnd) { return hWnd ? afxbackend::OwnerOf(hWnd) : nullptr; }

int CWnd::GetDlgCtrlID() const { return m_hWnd ? afxbackend::ControlId(m_hWnd) : 0; }

BOOL CWnd::EnableWindow(BOOL bEnable) {
  if (!m_hWnd) return FALSE;
  const BOOL wasDisabled = !afxbackend::IsEnabled(m_hWnd);
  afxbackend::Enable(m_hWnd, bEnable != FALSE);
  return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return m_hWnd && afxbackend::IsEnabled(m_hWnd); }
BOOL CWnd::IsWindowVisible() const { return m_hWnd && afxbackend::IsVisible(m_hWnd); }
BOOL CWnd::IsIconic() const { return m_hWnd && afxbackend::IsMinimized(m_hWnd); }

void CWnd::SetWindowText(const char* text) {
  if (m_hWnd) afxbackend::SetText(m_hWnd, text ? text : "");
}

int CWnd::GetWindowText(char* buffer, int nMaxCount) const {
  if (buffer == nullptr || nMaxCount <= 0) return 0;
  const std::string text = m_hWnd ? afxbackend::Text(m_hWnd) : std::string();
  const size_t n = FittingBytes(text, static_cast<size_t>(nMaxCount) - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

std::string CWnd::GetWindowTextString() const {
  return m_hWnd ? afxbackend::Text(m_hWnd) : std::string();
}

void CWnd::GetWindowRect(CRect* rect) const {
  *rect = m_hWnd ? afxbackend::OuterRect(m_hWnd) : CRect();
}

void CWnd::GetClientRect(CRect* rect) const {
  *rect = m_hWnd ? afxbackend::ClientRect(m_hWnd) : CRect();
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  if (m_hWnd) afxbackend::Move(m_hWnd, x, y, nWidth, nHeight, bRepaint != FALSE);
}

BOOL CWnd::SetWindowPos(int x, int y, int cx, int cy, UINT nFlags) {
  if (!m_hWnd) return FALSE;
  afxbackend::PlaceTopLevel(m_hWnd, x, y, cx, cy, (nFlags & SWP_SHOWWINDOW) != 0);
  return TRUE;
}

void CWnd::GetNormalPosition(CRect* rect) const {
  *rect = m_hWnd ? afxbackend::NormalOuterRect(m_hWnd) : CRect();
}

CWnd* CWnd::SetFocus() {
  CWnd* previous = GetFocus();
  if (m_hWnd) afxbackend::Focus(m_hWnd);
  return previous;
}

CWnd* CWnd::GetFocus() { return FromHandle(afxbackend::FocusedWindow()); }

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  if (m_hWnd) afxbackend::SetWindowIcon(m_hWnd, hIcon, bBigIcon != FALSE);
  return nullptr;
}

CWnd* CWnd::GetDlgItem(int nID) const {
  return m_hWnd ? FromHandle(afxbackend::ChildById(m_hWnd, nID)) : nullptr;
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
  HWND button = m_hWnd ? afxbackend::ChildById(m_hWnd, nIDButton) : nullptr;
  return button ? static_cast<UINT>(afxbackend::CheckState(button)) : 0;
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
  HWND button = m_hWnd ? afxbackend::ChildById(m_hWnd, nIDButton) : nullptr;
  if (button) afxbackend::SetCheckState(button, static_cast<int>(nCheck));
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {END_MESSAGE_MAP};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

void CWnd::Default() {
  if (m_pDispatch) m_pDispatch->bDefault = true;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
  const int id = message == WM_COMMAND ? static_cast<int>(LOWORD(wParam)) : 0;
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pBaseMap) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig::kEnd; ++e) {
      if (e->nMessage != message || e->nCode != code || e->nID != id) continue;
      Dispatch dispatch;
      Dispatch* outer = m_pDispatch;
      m_pDispatch = &dispatch;
      LRESULT result = 0;
      switch (e->nSig) {
        case AfxSig::kVoid:
          (this->*(e->pfn))();
          break;
        case AfxSig::kIcon:
          result = reinterpret_cast<LRESULT>((this->*(e->pfnIcon))());
          break;
        case AfxSig::kCharKey:
          (this->*(e->pfnChar))(
              static_cast<UINT>(wParam), static_cast<UINT>(lParam & 0xFFFF),
              static_cast<UINT>((static_cast<std::uintptr_t>(lParam) >> 16) & 0xFFFF));
          break;
        case AfxSig::kEnd:
          break;
      }
      m_pDispatch = outer;
      if (pResult) *pResult = result;
      return dispatch.bDefault ? TRUE : FALSE;
    }
  }
  if (pResult) *pResult = 0;
  return TRUE;
}

int CButton::GetCheck() const { return m_hWnd ? afxbackend::CheckState(m_hWnd) : BST_UNCHECKED; }

void CButton::SetCheck(int nCheck) {
  if (m_hWnd) afxbackend::SetCheckState(m_hWnd, nCheck);
}

int CComboBox::AddString(const char* text) {
  return m_hWnd ? afxbackend::ComboAdd(m_hWnd, text ? text : "") : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect) {
  if (!m_hWnd) return CB_ERR;
  afxbackend::ComboSelect(m_hWnd, nSelect);
  return nSelect >= 0 && nSelect < GetCount() ? nSelect : CB_ERR;
}

int CComboBox::GetCurSel() const { return m_hWnd ? afxbackend::ComboSelection(m_hWnd) : CB_ERR; }
int CComboBox::GetCount() const { return m_hWnd ? afxbackend::ComboCount(m_hWnd) : 0; }

std::string CComboBox::GetLBText(int nIndex) const {
  return m_hWnd ? afxbackend::ComboText(m_hWnd, nIndex) : std::string();
}

void CComboBox::SetItemTip(int nIndex, const char* text) {
  if (m_hWnd) afxbackend::ComboSetTip(m_hWnd, nIndex, text ? text : "");
}

std::string CComboBox::GetItemTip(int nIndex) const {
  return m_hWnd ? afxbackend::ComboTip(m_hWnd, nIndex) : std::string();
}

CWaitCursor::CWaitCursor() { afxbackend::BeginWaitCursor(); }
CWaitCursor::~CWaitCursor() { afxbackend::EndWaitCursor(); }

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd), m_hDC(afxbackend::BeginIconPaint(pWnd->m_hWnd)) {}
CPaintDC::~CPaintDC() { afxbackend::EndIconPaint(m_pWnd->m_hWnd, m_hDC); }
void CPaintDC::DrawIcon(int x, int y, HICON hIcon) { afxbackend::DrawIconAt(m_hDC, x, y, hIcon); }
void CPaintDC::EraseIconBackground() { afxbackend::EraseIconBackground(m_pWnd->m_hWnd, m_hDC); }

int AfxGetSystemMetrics(int nIndex) { return afxbackend::SystemMetric(nIndex); }
