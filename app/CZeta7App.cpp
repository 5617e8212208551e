#include "CZeta7App.h"

#include "CZeta7Dlg.h"

BOOL CZeta7App::InitInstance() {
  {
    // The dialog makes itself the owner of the application's message boxes.
    CZeta7Dlg dlg;
    dlg.DoModal();
    // Leaving the scope destroys the dialog, which closes the port.
  }
  return FALSE;
}
