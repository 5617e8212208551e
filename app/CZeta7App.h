// CZeta7App: the application object. Its start-up runs the main dialog
// modally and returns FALSE, so no further message loop runs and the
// program ends.
#pragma once

#include "AfxDialog.h"

class CZeta7App : public CWinApp {
 public:
  CZeta7App();
  ~CZeta7App() override = default;
  BOOL InitInstance() override;
};

extern CZeta7App theApp;
