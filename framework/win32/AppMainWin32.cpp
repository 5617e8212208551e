// The program entry on Windows: the application object's start-up, as the
// framework runs it. A window program has no console, so the command line is
// left alone.
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <string>

#include "AfxDialog.h"
#include "SettingsLocation.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  const std::optional<std::string> path = SystemLocationServices().programPath();
  AfxInitAppName(app, path.value_or(std::string()));
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  if (app->InitInstance()) return app->Run();
  return 0;
}
