#include "CZeta7App.h"

#include "CZeta7Dlg.h"
#include "MessageBoxService.h"

BOOL CZeta7App::InitInstance() {
  {
    CZeta7Dlg dlg;
    MessageBoxService::SetMainWindow(&dlg);
    dlg.DoModal();
    // Leaving the scope destroys the dialog, which closes the port.
  }
  return FALSE;
}
