// What screen readers get from Qt Widgets beyond Qt's own: a control's
// label through the label's buddy (by the convention Qt follows on Linux, a
// list's name is its current value and only that relation labels it), its
// description, and the status line, which is found by its role and heard
// when its text changes.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#include "AfxBackend.h"
#include "BackendQt.h"

using namespace afxqt;

namespace {

constexpr const char* kStatusLineProperty = "afxStatusLine";

// A label in the role of a status line, named by its text.
class StatusLineAccessible : public QAccessibleWidget {
 public:
  explicit StatusLineAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StatusBar) {}

  QString text(QAccessible::Text t) const override {
    const auto* label = qobject_cast<const QLabel*>(widget());
    if (t == QAccessible::Name && label && label->accessibleName().isEmpty()) return label->text();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* StatusLineFactory(const QString&, QObject* object) {
  auto* label = qobject_cast<QLabel*>(object);
  if (!label || !label->property(kStatusLineProperty).toBool()) return nullptr;
  return new StatusLineAccessible(label);
}

}  // namespace

namespace afxqt {

void MarkStatusLine(QLabel* label) {
  static bool installed = false;
  if (!installed) {
    QAccessible::installFactory(StatusLineFactory);
    installed = true;
  }
  label->setProperty(kStatusLineProperty, true);
}

}  // namespace afxqt

namespace afxbackend {

void LabelControl(HWND control, HWND label, HWND description) {
  QWidget* field = WidgetOf(control);
  if (label) {
    QLabel* text = qobject_cast<QLabel*>(WidgetOf(label));
    if (!text) text = GroupCaption(WidgetOf(label));
    if (text) text->setBuddy(field);
  }
  if (description) field->setAccessibleDescription(ToQString(Text(description)));
}

}  // namespace afxbackend
