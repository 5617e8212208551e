#include "AfxDialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "AfxBackend.h"
#include "AfxServices.h"
#include "SettingsLocation.h"

namespace {

const DialogTemplate& TemplateOrEmpty(int id) {
  static const DialogTemplate kEmpty = {0, "", "", 9, 100, 50, 0, 0, 0, nullptr, 0};
  const DialogTemplate* found = FindDialogTemplate(id);
  return found ? *found : kEmpty;
}

// A stand-in object of the control's kind, so GetDlgItem always finds one.
std::unique_ptr<CWnd> ControlObjectFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDropList:
      return std::make_unique<CComboBox>();
    case ControlKind::kPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kGroupBox:
      return std::make_unique<CButton>();
    case ControlKind::kEdit:
      return std::make_unique<CEdit>();
    case ControlKind::kLabel:
    case ControlKind::kSunkenLabel:
      return std::make_unique<CStatic>();
  }
  return std::make_unique<CWnd>();
}

CWinApp* g_app = nullptr;

}  // namespace

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd == nullptr) rControl.SubclassDlgItem(nIDC, pDX->m_pDlgWnd);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(pDX->m_pDlgWnd->IsDlgButtonChecked(nIDC));
  } else {
    pDX->m_pDlgWnd->CheckDlgButton(nIDC, static_cast<UINT>(value));
  }
}

CDialog::CDialog(int nIDTemplate, CWnd* pParentWnd)
    : m_template(TemplateOrEmpty(nIDTemplate)), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* pParentWnd)
    : m_template(dialogTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
  if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
  m_controlObjects.clear();
  if (HWND hWnd = Detach()) afxbackend::DestroyDialogWindow(hWnd);
}

BOOL CDialog::Create() {
  if (m_hWnd) return TRUE;
  std::vector<HWND> controls;
  HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  HWND hWnd = afxbackend::CreateDialogWindow(this, m_template, parent, &controls);
  if (!hWnd) return FALSE;
  Attach(hWnd);
  CreateControlObjects(controls);
  if (OnInitDialog()) afxbackend::FocusFirstTabStop(m_hWnd);
  return TRUE;
}

void CDialog::CreateControlObjects(const std::vector<HWND>& controls) {
  m_controlHandles = controls;
  for (size_t i = 0; i < controls.size() && i < m_template.itemCount; ++i) {
    std::unique_ptr<CWnd> object = ControlObjectFor(m_template.items[i].kind);
    object->Attach(controls[i]);
    m_controlObjects.push_back(std::move(object));
  }
}

INT_PTR CDialog::DoModal() {
  if (!Create()) return -1;
  if (!m_bEnded) afxbackend::RunModalLoop(m_hWnd);
  if (m_bFailed) {
    // Told only now, with the window gone from the screen and its handlers
    // out of the way.
    m_bFailed = FALSE;
    MessageBoxes().AppMessageBox(nullptr, "予期しないエラーが起きたため、ウィンドウを閉じました。",
                                 MB_OK | MB_ICONSTOP, m_strFailure);
  }
  return m_nResult;
}

void CDialog::FailFromCallback(const char* what) noexcept {
  if (!m_bFailed) {
    m_bFailed = TRUE;
    try {
      m_strFailure = what ? what : "(例外の種類は不明です)";
    } catch (...) {
      // Without memory for the text the box still comes, without detail.
    }
  }
  EndDialog(IDABORT);
}

CMessageBoxes& CDialog::MessageBoxes() const { return AfxSystemMessageBoxes(); }

void CDialog::EndDialog(int nResult) {
  m_nResult = m_bFailed ? IDABORT : nResult;
  m_bEnded = TRUE;
  if (m_hWnd) afxbackend::EndModalLoop(m_hWnd, nResult);
}

BOOL CDialog::SetControlLabels(const AFX_CONTROL_LABEL* pLabels, size_t nCount) {
  if (!m_hWnd) return FALSE;
  const size_t known = std::min(m_controlHandles.size(), m_template.itemCount);
  // A label found by caption: only texts and group boxes label anything.
  auto labelWithCaption = [&](const char* caption) -> HWND {
    if (caption == nullptr) return nullptr;
    for (size_t i = 0; i < known; ++i) {
      const DialogItem& item = m_template.items[i];
      const bool labels = item.kind == ControlKind::kLabel || item.kind == ControlKind::kGroupBox;
      if (labels && item.caption && std::strcmp(item.caption, caption) == 0)
        return m_controlHandles[i];
    }
    return nullptr;
  };
  BOOL all = TRUE;
  for (size_t i = 0; i < nCount; ++i) {
    HWND control = afxbackend::ChildById(m_hWnd, pLabels[i].nIDC);
    HWND label = labelWithCaption(pLabels[i].pszLabel);
    HWND description = labelWithCaption(pLabels[i].pszDescription);
    if (!control || !label || (pLabels[i].pszDescription && !description)) {
      all = FALSE;
      if (!control) continue;
    }
    afxbackend::LabelControl(control, label, description);
  }
  return all;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
  return afxbackend::HandleDialogKey(this, pMsg) ? TRUE : FALSE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

const AFX_MSGMAP* CDialog::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {
      OnCommandEntry(BN_CLICKED, IDOK, &CDialog::OnOK),
      OnCommandEntry(BN_CLICKED, IDCANCEL, &CDialog::OnCancel),
      END_MESSAGE_MAP,
  };
  static const AFX_MSGMAP map = {CWnd::GetThisMessageMap(), entries};
  return &map;
}

const AFX_MSGMAP* CDialog::GetMessageMap() const { return GetThisMessageMap(); }

// ---- The application object ---------------------------------------------------

CWinApp::CWinApp(const char* pszAppName) {
  if (pszAppName) m_strAppName = pszAppName;
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() { return afxbackend::RunEventLoop(); }

HICON CWinApp::LoadIcon(int nIDResource) const { return AfxLoadIcon(nIDResource); }

HICON AfxLoadIcon(int nIDResource) { return afxbackend::LoadIconResource(nIDResource); }

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }

std::string AfxGetAppName() {
  if (g_app && !g_app->m_strAppName.empty()) return g_app->m_strAppName;
  const std::optional<std::string> path = SystemLocationServices().programPath();
  return path ? BaseNameOf(*path) : std::string();
}

int AfxRunApplication(CWinApp* app, CMessageBoxes& boxes) noexcept {
  std::string what = "(例外の種類は不明です)";
  try {
    try {
      return app->InitInstance() ? app->Run() : 0;
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    boxes.AppMessageBox(nullptr, "予期しないエラーが起きたため、プログラムを終了します。",
                        MB_OK | MB_ICONSTOP, what);
  } catch (...) {
    // Not even the box could be shown: the exit code still says it.
  }
  return 1;
}

void AfxInitAppName(CWinApp* app, const std::string& modulePath) {
  app->m_strModulePath = modulePath;
  if (app->m_strAppName.empty()) app->m_strAppName = BaseNameOf(modulePath);
}
