#include "CZeta7App.h"

#include "CZeta7Dlg.h"

CZeta7App theApp;

BOOL CZeta7App::InitInstance() {
  {
    CZeta7Dlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // Leaving the scope destroys the dialog, which closes the port.
  }
  return FALSE;
}
