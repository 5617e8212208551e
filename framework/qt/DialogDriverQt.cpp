// The test driver's input on Qt: QTest's synthetic events, which travel the
// same road as the window system's (shortcut override first, then the
// application's event filters, then the widget).
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>

#include "DialogDriver.h"

namespace {

QWidget* WidgetOf(const CWnd& wnd) { return static_cast<QWidget*>(wnd.m_hWnd); }

// Notes whether a key press got through to the widget it was aimed at.
class KeyArrival : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) m_bArrived = true;
    return false;
  }
  bool m_bArrived = false;
};

Qt::Key QtKeyOf(UINT vk) {
  switch (vk) {
    case VK_RETURN:
      return Qt::Key_Return;
    case VK_ESCAPE:
      return Qt::Key_Escape;
    case VK_TAB:
      return Qt::Key_Tab;
    case VK_SPACE:
      return Qt::Key_Space;
    case VK_BACK:
      return Qt::Key_Backspace;
    case VK_DELETE:
      return Qt::Key_Delete;
    default:
      return static_cast<Qt::Key>(vk);
  }
}

bool SendKey(QWidget* target, UINT vk, bool alt) {
  KeyArrival arrival;
  target->installEventFilter(&arrival);
  const Qt::Key key = QtKeyOf(vk);
  const QString text = vk == VK_RETURN   ? QStringLiteral("\r")
                       : vk == VK_ESCAPE ? QString(QChar(0x1b))
                                         : QString();
  QTest::sendKeyEvent(QTest::Click, target, key, text, alt ? Qt::AltModifier : Qt::NoModifier);
  target->removeEventFilter(&arrival);
  return arrival.m_bArrived;
}

QWidget* OpenedList(QWidget* combo) { return static_cast<QComboBox*>(combo)->view(); }

}  // namespace

void CDialogDriver::Click(int id) { QTest::mouseClick(WidgetOf(Control(id)), Qt::LeftButton); }

void CDialogDriver::Choose(int id, int index) {
  auto* combo = static_cast<QComboBox*>(WidgetOf(Control(id)));
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

void CDialogDriver::Type(int id, const std::string& text) {
  QWidget* widget = WidgetOf(Control(id));
  widget->setFocus();
  for (const QChar c : QString::fromUtf8(text.c_str())) {
    const char16_t u = c.unicode();
    if (u == 8) {
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_Backspace, QString(c), Qt::NoModifier);
    } else if (u < 0x20) {
      const auto key = static_cast<Qt::Key>(Qt::Key_A + u - 1);
      QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::ControlModifier);
    } else if (u >= '0' && u <= '9') {
      QTest::sendKeyEvent(QTest::Click, widget, static_cast<Qt::Key>(u), QString(c),
                          Qt::NoModifier);
    } else if (u < 0x80) {
      const char16_t upper = (u >= 'a' && u <= 'z') ? static_cast<char16_t>(u - 32) : u;
      QTest::sendKeyEvent(QTest::Click, widget, static_cast<Qt::Key>(upper), QString(c),
                          Qt::NoModifier);
    } else {
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

void CDialogDriver::Commit(int id, const std::string& text) {
  QWidget* widget = WidgetOf(Control(id));
  widget->setFocus();
  QInputMethodEvent event(QString(), {});
  event.setCommitString(QString::fromUtf8(text.c_str()));
  QApplication::sendEvent(widget, &event);
}

void CDialogDriver::SelectAll(int id) {
  if (auto* edit = qobject_cast<QLineEdit*>(WidgetOf(Control(id)))) edit->selectAll();
}

bool CDialogDriver::PressKey(int id, UINT vk, bool alt) {
  QWidget* widget = WidgetOf(Control(id));
  widget->setFocus();
  return SendKey(widget, vk, alt);
}

bool CDialogDriver::PressKeyInList(int id, UINT vk) {
  return SendKey(OpenedList(WidgetOf(Control(id))), vk, false);
}

void CDialogDriver::OpenList(int id) {
  static_cast<QComboBox*>(WidgetOf(Control(id)))->showPopup();
}

bool CDialogDriver::IsListOpen(int id) {
  return OpenedList(WidgetOf(Control(id)))->window()->isVisible();
}

void CDialogDriver::CloseList(int id) {
  static_cast<QComboBox*>(WidgetOf(Control(id)))->hidePopup();
}

void CDialogDriver::RequestClose() { WidgetOf(m_dialog)->close(); }

bool CDialogDriver::IsFixedSize() const {
  const QWidget* window = WidgetOf(m_dialog);
  return window->minimumSize() == window->maximumSize();
}

CRect CDialogDriver::Placement(int id) const {
  const QRect r = WidgetOf(Control(id))->geometry();
  return CRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

bool CDialogDriver::IsPlainText(int id) const {
  const auto* label = qobject_cast<const QLabel*>(WidgetOf(Control(id)));
  return !label || label->textFormat() == Qt::PlainText;
}
