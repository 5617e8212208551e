// Where top-level windows lie on Win32: their outer rectangles, the
// restored rectangle of a minimised or maximised window, and the primary
// display's work area.
#include <windows.h>

#include "AfxBackend.h"
#include "AfxWin32.h"

namespace {

CRect ToCRect(const RECT& r) { return CRect(r.left, r.top, r.right, r.bottom); }

// The restored outer rectangle from the placement, which gives it in
// work-area coordinates, moved into screen coordinates.
CRect PlacementInScreen(HWND hWnd) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(hWnd, &placement)) return CRect();
  if (GetWindowLongPtrW(hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) {
    return ToCRect(placement.rcNormalPosition);  // tool windows' are in screen coordinates
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
    return ToCRect(placement.rcNormalPosition);
  }
  return AfxWin32WorkAreaToScreen(placement.rcNormalPosition, monitor.rcWork, monitor.rcMonitor);
}

}  // namespace

CRect AfxWin32WorkAreaToScreen(const RECT& rect, const RECT& workArea, const RECT& monitor) {
  RECT r = rect;
  OffsetRect(&r, workArea.left - monitor.left, workArea.top - monitor.top);
  return ToCRect(r);
}

namespace afxbackend {

CRect OuterRect(HWND hWnd) {
  RECT r{};
  ::GetWindowRect(hWnd, &r);
  return ToCRect(r);
}

CRect ClientRect(HWND hWnd) {
  RECT r{};
  ::GetClientRect(hWnd, &r);
  return ToCRect(r);
}

void PlaceTopLevel(HWND hWnd, int x, int y, int cx, int cy, bool show) {
  ::SetWindowPos(hWnd, HWND_TOP, x, y, cx, cy, show ? SWP_SHOWWINDOW : 0);
}

CRect NormalOuterRect(HWND hWnd) {
  if (::IsIconic(hWnd) || ::IsZoomed(hWnd)) return PlacementInScreen(hWnd);
  return OuterRect(hWnd);
}

CRect WorkArea() {
  RECT r{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return CRect();
  return ToCRect(r);
}

// The primary display's top-left corner is the origin of the screen
// coordinates.
CPoint ScreenOrigin() { return CPoint(0, 0); }

}  // namespace afxbackend
