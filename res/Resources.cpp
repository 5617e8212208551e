// The program's resources as the dialog framework looks them up.
#include "DialogTemplate.h"
#include "MainDialogTemplate.h"
#include "mainframe.xpm"

const DialogTemplate* FindDialogTemplate(int id) {
  return id == IDD_MAIN_DIALOG ? &kMainDialog : nullptr;
}

const char* const* FindIconXpm(int id) { return id == IDR_MAINFRAME ? idr_mainframe_xpm : nullptr; }
