// The dialog framework: windows and controls as the program's logic sees them.
//
// A small layer of our own in the style of the Windows dialog framework, with
// just the operations this program needs: enable and disable, window text,
// rectangles and moves, focus, icons, drop-down lists, check boxes, buttons,
// and message maps that route a control's notification or a window message
// to a member function. Each object holds an opaque handle (m_hWnd) to its
// toolkit's widget; what the handle is and how each operation is carried out
// is the business of one backend (framework/qt, ...) chosen in CMake, which
// implements the declarations in AfxBackend.h.
//
// Ownership: the toolkit's widgets belong to the dialog window that created
// them from its template; a control object is only attached to one and never
// destroys it. Everything runs on the user-interface thread.
#pragma once

#include <string>

#include "AfxPlatform.h"

class CWnd;

// A rectangle with the Windows field names; right and bottom are exclusive.
struct CRect : RECT {
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  int Width() const { return static_cast<int>(right - left); }
  int Height() const { return static_cast<int>(bottom - top); }
  bool operator==(const CRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

struct CPoint : POINT {
  CPoint() : POINT{0, 0} {}
  CPoint(int px, int py) : POINT{px, py} {}
};

// ---- Message maps ------------------------------------------------------------
//
// A class with handlers lists them in a static table of entries; the table
// names its base class's table, so lookups walk from the most derived class
// up. Entries are made with the helpers below, which check the handler's
// shape at compile time.

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
};

using AFX_PMSG = void (CCmdTarget::*)();
using AFX_PMSG_ICON = HICON (CCmdTarget::*)();
using AFX_PMSG_CHAR = void (CCmdTarget::*)(UINT nChar, UINT nRepCnt, UINT nFlags);

// How an entry's handler is called.
enum class AfxSig {
  kEnd,
  kVoid,     // void Handler()
  kIcon,     // HICON Handler()
  kCharKey,  // void Handler(UINT nChar, UINT nRepCnt, UINT nFlags)
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_...
  UINT nCode;     // notification code, for WM_COMMAND
  int nID;        // control id, for WM_COMMAND
  AfxSig nSig;
  AFX_PMSG pfn;  // the handler, in the member that nSig names
  AFX_PMSG_ICON pfnIcon;
  AFX_PMSG_CHAR pfnChar;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* pBaseMap;
  const AFX_MSGMAP_ENTRY* lpEntries;  // ends with END_MESSAGE_MAP
};

template <class T>
AFX_MSGMAP_ENTRY OnCommandEntry(UINT code, int id, void (T::*pfn)()) {
  return {WM_COMMAND, code, id, AfxSig::kVoid, static_cast<AFX_PMSG>(pfn), nullptr, nullptr};
}
template <class T>
AFX_MSGMAP_ENTRY ON_BN_CLICKED(int id, void (T::*pfn)()) {
  return OnCommandEntry(BN_CLICKED, id, pfn);
}
template <class T>
AFX_MSGMAP_ENTRY ON_CBN_SELCHANGE(int id, void (T::*pfn)()) {
  return OnCommandEntry(CBN_SELCHANGE, id, pfn);
}
template <class T>
AFX_MSGMAP_ENTRY ON_WM_PAINT(void (T::*pfn)()) {
  return {WM_PAINT, 0, 0, AfxSig::kVoid, static_cast<AFX_PMSG>(pfn), nullptr, nullptr};
}
template <class T>
AFX_MSGMAP_ENTRY ON_WM_CLOSE(void (T::*pfn)()) {
  return {WM_CLOSE, 0, 0, AfxSig::kVoid, static_cast<AFX_PMSG>(pfn), nullptr, nullptr};
}
template <class T>
AFX_MSGMAP_ENTRY ON_WM_QUERYDRAGICON(HICON (T::*pfn)()) {
  return {WM_QUERYDRAGICON, 0, 0, AfxSig::kIcon, nullptr, static_cast<AFX_PMSG_ICON>(pfn), nullptr};
}
template <class T>
AFX_MSGMAP_ENTRY ON_WM_CHAR(void (T::*pfn)(UINT, UINT, UINT)) {
  return {WM_CHAR, 0, 0, AfxSig::kCharKey, nullptr, nullptr, static_cast<AFX_PMSG_CHAR>(pfn)};
}
inline constexpr AFX_MSGMAP_ENTRY END_MESSAGE_MAP{0, 0, 0, AfxSig::kEnd, nullptr, nullptr, nullptr};

// ---- Windows and controls ----------------------------------------------------

class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // Attaches this object to an existing widget, so that the widget's
  // messages reach this object's message map. False when the handle is
  // none or this object is attached already.
  BOOL Attach(HWND hWnd);
  HWND Detach();
  // Attaches this object to the parent's control with the given id.
  BOOL SubclassDlgItem(int nID, CWnd* pParent);
  // The object attached to a widget, if any.
  static CWnd* FromHandle(HWND hWnd);

  HWND GetSafeHwnd() const { return m_hWnd; }
  int GetDlgCtrlID() const;

  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL IsWindowVisible() const;
  BOOL IsIconic() const;

  void SetWindowText(const char* text);
  // Copies at most nMaxCount - 1 bytes of the UTF-8 text, never cutting a
  // character in two, and a NUL; returns the bytes copied.
  int GetWindowText(char* buffer, int nMaxCount) const;
  std::string GetWindowTextString() const;

  // Outer rectangle in screen coordinates; client rectangle (origin 0, 0).
  void GetWindowRect(CRect* rect) const;
  void GetClientRect(CRect* rect) const;
  // A child's new place in its parent's client coordinates, or a window's
  // on the screen.
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
  // Puts a top-level window at (x, y) in screen coordinates with the given
  // outer size, on top; SWP_SHOWWINDOW also shows it.
  BOOL SetWindowPos(int x, int y, int cx, int cy, UINT nFlags);
  // The outer rectangle the window has when restored, in screen
  // coordinates, also while it is minimised.
  void GetNormalPosition(CRect* rect) const;

  CWnd* SetFocus();
  static CWnd* GetFocus();

  HICON SetIcon(HICON hIcon, BOOL bBigIcon);

  CWnd* GetDlgItem(int nID) const;
  UINT IsDlgButtonChecked(int nIDButton) const;
  void CheckDlgButton(int nIDButton, UINT nCheck);

  // Routes a message through the message map. Returns TRUE when the
  // message's default handling should follow (no handler, or the handler
  // asked for it with Default()); the handler's result goes to *pResult.
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

  HWND m_hWnd = nullptr;

 protected:
  virtual const AFX_MSGMAP* GetMessageMap() const;
  static const AFX_MSGMAP* GetThisMessageMap();
  // Asks for the platform's own handling of the message being handled, once
  // the handler returns (a typed character is then inserted, a close
  // request ends the dialog, ...).
  void Default();

  void OnClose() { Default(); }
  void OnPaint() { Default(); }

 private:
  struct Dispatch {
    bool bDefault = false;
  };
  Dispatch* m_pDispatch = nullptr;
};

class CStatic : public CWnd {};

class CButton : public CWnd {
 public:
  int GetCheck() const;
  void SetCheck(int nCheck);
};

class CEdit : public CWnd {};

class CComboBox : public CWnd {
 public:
  // Appends at the end (the lists are not sorted); returns the new index.
  int AddString(const char* text);
  // An index outside the list leaves no entry selected (and returns CB_ERR).
  int SetCurSel(int nSelect);
  int GetCurSel() const;
  int GetCount() const;
  std::string GetLBText(int nIndex) const;
  // A hint shown while the pointer rests on the entry in the opened list.
  void SetItemTip(int nIndex, const char* text);
  std::string GetItemTip(int nIndex) const;
};

// The busy cursor for as long as the object lives.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Minimised painting: a paint context for the window's update, the icon
// background and an icon drawn at a point. Backends without minimised
// painting never send WM_PAINT to the logic.
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC();
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC GetSafeHdc() const { return m_hDC; }
  void DrawIcon(int x, int y, HICON hIcon);
  void EraseIconBackground();

 private:
  CWnd* m_pWnd;
  HDC m_hDC;
};

int AfxGetSystemMetrics(int nIndex);
