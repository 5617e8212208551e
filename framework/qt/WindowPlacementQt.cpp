// Where top-level windows lie on Qt Widgets: their outer rectangles with
// the window system's frame, and the primary screen's work area.
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include "AfxBackend.h"
#include "BackendQt.h"

using namespace afxqt;

namespace {

// The frame the window system puts around a top-level window: what the
// platform reports (it may know it before the window is shown), or, while
// the window is not mapped yet and nothing is known, an estimate from the
// style, so that a window is centred by its outer size.
QMargins FrameMargins(QWidget* window) {
  window->winId();  // the native window exists from here on, shown or not
  const QWindow* handle = window->windowHandle();
  const QMargins known = handle ? handle->frameMargins() : QMargins();
  if (!known.isNull() || window->isVisible()) return known;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return known;
  QStyle* style = window->style();
  const int side = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
  const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
  return QMargins(side, title + side, side, side);
}

CRect ToCRect(const QRect& r) {
  return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

}  // namespace

namespace afxbackend {

CRect OuterRect(HWND hWnd) {
  QWidget* w = WidgetOf(hWnd);
  if (!w->isWindow()) return ToCRect(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
  return ToCRect(w->geometry().marginsAdded(FrameMargins(w)));
}

CRect ClientRect(HWND hWnd) {
  return CRect(0, 0, WidgetOf(hWnd)->width(), WidgetOf(hWnd)->height());
}

void PlaceTopLevel(HWND hWnd, int x, int y, int cx, int cy, bool show) {
  QWidget* w = WidgetOf(hWnd);
  const QMargins frame = FrameMargins(w);
  const QSize client(cx - frame.left() - frame.right(), cy - frame.top() - frame.bottom());
  if (client != w->size() && client.isValid()) w->resize(client);
  // A window's position is that of its frame.
  w->move(x, y);
  if (show) {
    w->show();
    w->raise();
    w->activateWindow();
  }
}

CRect NormalOuterRect(HWND hWnd) {
  QWidget* w = WidgetOf(hWnd);
  const QMargins frame = FrameMargins(w);
  const QRect normal = (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
                           ? w->normalGeometry()
                           : w->geometry();
  return ToCRect(normal.marginsAdded(frame));
}

CRect WorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? ToCRect(screen->availableGeometry()) : CRect();
}

CPoint ScreenOrigin() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? CPoint(screen->geometry().x(), screen->geometry().y()) : CPoint();
}

}  // namespace afxbackend
