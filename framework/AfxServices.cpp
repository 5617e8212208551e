#include "AfxServices.h"

#include <chrono>
#include <thread>

#include "AfxBackend.h"
#include "AfxDialog.h"

void CClock::Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

CRect CDesktop::GetWorkArea() const { return afxbackend::WorkArea(); }
CPoint CDesktop::GetScreenOrigin() const { return afxbackend::ScreenOrigin(); }

UINT CMessageBoxes::WithDefaultIcon(UINT type) {
  if (type & MB_ICONMASK) return type;
  switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
      return type | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return type | MB_ICONQUESTION;
    default:
      return type;
  }
}

int CMessageBoxes::AppMessageBox(CWnd* owner, const std::string& text, UINT type,
                                 const std::string& detail) {
  return Show({owner, AfxGetAppName(), text, WithDefaultIcon(type), detail});
}

int CMessageBoxes::WindowMessageBox(CWnd* owner, const std::string& text, UINT type,
                                    const std::string& detail) {
  return Show({owner, AfxGetAppName(), text, type, detail});
}

int CMessageBoxes::Show(const MessageBoxRequest& request) {
  // A box owned by a window that is not shown (the settings folder's boxes
  // come before the main window appears) would have no task-bar entry and
  // could open behind other programs' windows: it goes on its own instead.
  MessageBoxRequest shown = request;
  if (shown.owner && (!shown.owner->m_hWnd || !afxbackend::IsVisible(shown.owner->m_hWnd))) {
    shown.owner = nullptr;
  }
  return afxbackend::ShowMessageBox(shown);
}

CClock& AfxSystemClock() {
  static CClock clock;
  return clock;
}

CDesktop& AfxSystemDesktop() {
  static CDesktop desktop;
  return desktop;
}

CMessageBoxes& AfxSystemMessageBoxes() {
  static CMessageBoxes boxes;
  return boxes;
}
