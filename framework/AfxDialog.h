// Dialogs built from a template, data exchange, and the application object.
//
// CDialog creates its window and controls from a DialogTemplate (a table in
// res/ that every backend builds from), gives every control an object (the
// members that DoDataExchange binds, or a plain object of the control's kind
// owned by the dialog), sends OnInitDialog, and runs modally through
// DoModal: every queued key message goes to PreTranslateMessage first, whose
// base is the standard dialog keyboard handling (Tab between tab stops, Enter
// on a focused push button presses it, Enter elsewhere is OK and Escape is
// Cancel). Button clicks and list changes reach the message map as
// WM_COMMAND with BN_CLICKED or CBN_SELCHANGE; a close request (title-bar
// close, system menu, Alt+F4) arrives as WM_CLOSE, whose default ends the
// dialog as Cancel. User-interface thread only.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "AfxWin.h"
#include "DialogTemplate.h"

class CDialog;
class CMessageBoxes;

class CDataExchange {
 public:
  CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
      : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
  CDialog* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
};

// Attaches rControl to the dialog's control nIDC the first time it runs.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Exchanges a check box's state with value (BST_UNCHECKED / BST_CHECKED).
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);

// Which of the template's labels names a control for a screen reader and
// which describes it (its range, its unit): each label is the template item
// with that caption, a text or a group box.
struct AFX_CONTROL_LABEL {
  int nIDC;
  const char* pszLabel;
  const char* pszDescription;  // nullptr: none
};

class CDialog : public CWnd {
 public:
  CDialog(int nIDTemplate, CWnd* pParentWnd = nullptr);
  CDialog(const DialogTemplate& dialogTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Creates the window and its controls from the template and initialises
  // the dialog (OnInitDialog), without running it. TRUE once created.
  BOOL Create();
  // Create, then run until EndDialog; returns the value given to EndDialog.
  INT_PTR DoModal();
  void EndDialog(int nResult);
  // TRUE once EndDialog has been called (the window is then hidden).
  BOOL IsEnded() const { return m_bEnded; }

  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  // Called by the backend for every queued message of the dialog and its
  // controls before dispatch; TRUE means consumed.
  virtual BOOL PreTranslateMessage(MSG* pMsg);

  const DialogTemplate& Template() const { return m_template; }

  // Ties each control to its label and description for screen readers, as
  // the template's control order alone cannot say it. FALSE when a control
  // or a caption is not in the template (the others are still tied).
  BOOL SetControlLabels(const AFX_CONTROL_LABEL* pLabels, size_t nCount);

  // A handler that the window system called has failed with an exception.
  // The dialog ends as IDABORT and, once its loop is out, DoModal says what
  // happened in an error box; the first failure is the one told. Never
  // throws: the backends call it from their window procedures.
  void FailFromCallback(const char* what) noexcept;

 protected:
  // The boxes this dialog's own messages go through.
  virtual CMessageBoxes& MessageBoxes() const;
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* pDX);
  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

  void OnOK();
  void OnCancel();

 private:
  friend class AfxDialogAccess;
  void CreateControlObjects(const std::vector<HWND>& controls);

  const DialogTemplate& m_template;
  CWnd* m_pParentWnd;
  std::vector<std::unique_ptr<CWnd>> m_controlObjects;  // for unbound controls
  std::vector<HWND> m_controlHandles;                   // template order
  BOOL m_bEnded = FALSE;
  INT_PTR m_nResult = IDCANCEL;
  BOOL m_bFailed = FALSE;
  std::string m_strFailure;
};

// Runs a handler that the window system calls. No exception may leave it:
// it would unwind through the system's or the toolkit's own frames, which
// drop it half-way (Wine, 64-bit Windows) or end the program, and whatever
// the handler had still to do would be silently left undone. One that comes
// fails the dialog (see FailFromCallback), and `failed` is returned.
template <class Result, class Handler>
Result AfxFenced(CDialog* dialog, Result failed, Handler&& handler) noexcept {
  try {
    return handler();
  } catch (const std::exception& e) {
    if (dialog) dialog->FailFromCallback(e.what());
  } catch (...) {
    if (dialog) dialog->FailFromCallback(nullptr);
  }
  return failed;
}

// The application object: one global instance of a class derived from
// CWinApp. The backend's program entry derives the application name from the
// program file's own path, then calls InitInstance; when that returns FALSE
// the program ends.
class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(const char* pszAppName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  // Runs the program's own message loop (after an InitInstance that
  // returned TRUE); returns the exit code.
  virtual int Run();

  HICON LoadIcon(int nIDResource) const;

  // What --help prints below the usage line; --version prints the name and
  // the program's version. Both work without a display.
  std::string m_strHelpText;
  // Fixed at start-up: the name and the path it came from.
  std::string m_strAppName;
  std::string m_strModulePath;
  CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
// An icon from the program's resources (what CWinApp::LoadIcon gives).
HICON AfxLoadIcon(int nIDResource);
CWnd* AfxGetMainWnd();
// The application name: the application object's, or, where there is none
// (tools, tests), the program file's name without folder and extension.
std::string AfxGetAppName();
// Sets the application's name and path from the program's own path, once,
// at start-up; both come from the same raw path.
void AfxInitAppName(CWinApp* app, const std::string& modulePath);

// The program's start and its loop, as the backends' entries run them. An
// exception that comes out of them (a failure while the window is set up,
// before any window procedure could stop it) is told in an error box and
// the program ends with 1, not with the runtime's abort.
int AfxRunApplication(CWinApp* app, CMessageBoxes& boxes) noexcept;
