// zeta7-template-dialog (Windows): the main dialog's template built through
// the framework's plain CDialog, with its font and controls and none of the
// program's logic, run modally until it is closed. The reference that
// bench/wine-startup.sh starts beside the program: what the window itself
// costs shows against it.
#include <windows.h>

#include "AfxDialog.h"
#include "MainDialogTemplate.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CDialog dialog(kMainDialog);
  dialog.DoModal();
  return 0;
}
