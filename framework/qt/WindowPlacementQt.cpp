// Where top-level windows lie on Qt Widgets: their outer rectangles with
// the window system's frame, and the primary screen's work area.
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QVariant>
#include <QWindow>

#include "AfxBackend.h"
#include "BackendQt.h"
#include "WindowFrameX11.h"

using namespace afxqt;

namespace {

// How long a window manager may take to say what frame it will draw: it
// answers at once when it answers at all, and the window waits unmapped.
constexpr int kFrameRequestMs = 300;
constexpr const char* kFrameProperty = "afxFrameBeforeMap";

// The frame the window system puts around a top-level window. Once the
// window is shown, what the platform reports. Before that, on X11, what the
// window manager says it will draw (asked once a window); elsewhere, or
// where the manager cannot tell, an estimate from the style, so that a
// window is still centred by its outer size.
QMargins FrameMargins(QWidget* window) {
  window->winId();  // the native window exists from here on, shown or not
  const QWindow* handle = window->windowHandle();
  const QMargins known = handle ? handle->frameMargins() : QMargins();
  if (window->isVisible()) return known;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return known;
  if (platform == QLatin1String("xcb")) {
    const QVariant asked = window->property(kFrameProperty);
    if (asked.isValid()) return asked.value<QMargins>();
    if (const auto extents = RequestFrameExtents(window->winId(), kFrameRequestMs)) {
      const QMargins margins(extents->left, extents->top, extents->right, extents->bottom);
      window->setProperty(kFrameProperty, QVariant::fromValue(margins));
      return margins;
    }
  }
  if (!known.isNull()) return known;
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
  if (w->isVisible()) {
    // A shown window's frame is known: Qt moves the frame to x, y.
    w->move(x, y);
  } else {
    // Before the first map Qt does not know the frame and would put the
    // client area at x, y. Placing the client inside the frame the manager
    // announced (the window keeps static gravity) puts the frame there.
    w->setGeometry(QRect(QPoint(x + frame.left(), y + frame.top()), w->size()));
  }
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
