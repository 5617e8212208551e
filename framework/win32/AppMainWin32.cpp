// The program entry on Windows: the application object's start-up, as the
// framework runs it. A window program has no console, so the command line is
// left alone.
// (The common controls are initialised by the backend before its first
// dialog.)
#include <windows.h>

#include <string>

#include "AfxDialog.h"
#include "AfxServices.h"
#include "SettingsLocation.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  const std::optional<std::string> path = SystemLocationServices().programPath();
  AfxInitAppName(app, path.value_or(std::string()));
  return AfxRunApplication(app, AfxSystemMessageBoxes());
}
