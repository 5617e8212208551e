// The modal loop on Qt Widgets. One application-wide event filter plays the
// part of the dialog manager's message loop: it hands every key press aimed
// at a dialog (or at the opened list of one of its drop-downs) to the
// dialog's PreTranslateMessage, then lets the edits filter what is typed
// (EditInputQt.cpp).
#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPushButton>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "BackendQt.h"

using namespace afxqt;

namespace {

bool IsEnterOrEscape(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

UINT VirtualKeyOf(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Delete:
      return VK_DELETE;
    default:
      // Letters and digits have the same codes as their virtual keys.
      return (key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)
                 ? static_cast<UINT>(key)
                 : 0;
  }
}

// The dialog a key aimed at widget belongs to, and the control that stands
// for the target: an opened drop-down list counts as its drop-down.
AfxQtDialog* DialogOfKeyTarget(QWidget* widget, QWidget** target) {
  QWidget* window = widget->window();
  if (auto* dialog = dynamic_cast<AfxQtDialog*>(window)) {
    *target = widget;
    return dialog;
  }
  if (window->windowType() == Qt::Popup) {
    auto* combo = qobject_cast<QComboBox*>(window->parentWidget());
    if (combo) {
      if (auto* dialog = dynamic_cast<AfxQtDialog*>(combo->window())) {
        *target = combo;
        return dialog;
      }
    }
  }
  return nullptr;
}

class AfxQtRouter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ShortcutOverride:
      case QEvent::KeyPress:
      case QEvent::InputMethod:
        break;
      default:
        return false;
    }
    if (IsInsertingFilteredInput() || !watched->isWidgetType()) return false;
    QWidget* widget = static_cast<QWidget*>(watched);
    QWidget* target = nullptr;
    AfxQtDialog* dialog = DialogOfKeyTarget(widget, &target);
    if (!dialog) return false;

    if (event->type() == QEvent::InputMethod) {
      return FilterEditInputMethod(widget, static_cast<QInputMethodEvent*>(event));
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const bool alt = (key->modifiers() & Qt::AltModifier) != 0;
    if (event->type() == QEvent::ShortcutOverride) {
      // Enter and Escape belong to the dialog: no widget shortcut may act on
      // them before the key filter has seen the key press.
      return IsEnterOrEscape(key->key()) && !alt;
    }
    MSG msg{HandleOf(target), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, VirtualKeyOf(key->key()), 0};
    CDialog* owner = dialog->Owner();
    if (AfxFenced(owner, true, [&] { return owner->PreTranslateMessage(&msg) != FALSE; })) {
      return true;
    }
    return FilterEditKeyPress(widget, key);
  }
};

}  // namespace

void afxqt::InstallRouter() {
  static AfxQtRouter* router = nullptr;
  if (router) return;
  router = new AfxQtRouter;
  router->setParent(qApp);
  qApp->installEventFilter(router);
}

namespace afxbackend {

void RunModalLoop(HWND hWnd) { static_cast<QDialog*>(WidgetOf(hWnd))->exec(); }

void EndModalLoop(HWND hWnd, int result) { static_cast<QDialog*>(WidgetOf(hWnd))->done(result); }

bool HandleDialogKey(CDialog* dialog, MSG* msg) {
  if (msg->message != WM_KEYDOWN) return false;
  if (msg->wParam == VK_RETURN) {
    auto* button = qobject_cast<QPushButton*>(WidgetOf(msg->hwnd));
    if (button) {
      if (button->isEnabled()) button->click();
    } else {
      dialog->OnWndMsg(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, nullptr);
    }
    return true;
  }
  if (msg->wParam == VK_ESCAPE) {
    dialog->OnWndMsg(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, nullptr);
    return true;
  }
  return false;
}

int RunEventLoop() { return QApplication::exec(); }

}  // namespace afxbackend
