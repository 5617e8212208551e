// Dialog windows on Qt Widgets: a QDialog built from its template in dialog
// units (the template's font, with a substitute where the system lacks it);
// each control is a widget whose object name is its identifier and which
// carries its control id and the framework object attached to it as
// properties.
#include <qdrawutil.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <map>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "BackendQt.h"
#include "DialogUnits.h"
#include "LabelLayout.h"

namespace afxqt {

void AfxQtDialog::closeEvent(QCloseEvent* event) {
  AfxFenced(m_pOwner, false, [this] {
    if (m_pOwner->OnWndMsg(WM_CLOSE, 0, 0, nullptr)) m_pOwner->EndDialog(IDCANCEL);
    return true;
  });
  if (m_pOwner->IsEnded()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace afxqt

using namespace afxqt;

namespace {

// A group box drawn as the dialog manager draws one: the frame's top line
// runs through the middle of the caption, which interrupts it, so the
// controls placed inside the template's rectangle sit inside the frame. The
// caption is a label of its own beside the controls, so that it can label
// one of them for screen readers (only a label among a control's siblings
// can).
class AfxQtGroupBox : public QGroupBox {
 public:
  AfxQtGroupBox(const QString& title, QWidget* parent)
      : QGroupBox(title, parent), m_pCaption(new QLabel(title, parent)) {
    m_pCaption->setTextFormat(Qt::PlainText);
    m_pCaption->setAlignment(Qt::AlignCenter);
    // Its background interrupts the frame line.
    m_pCaption->setAutoFillBackground(true);
  }

  QLabel* Caption() const { return m_pCaption; }

  void SetCaption(const QString& text) {
    setTitle(text);
    if (m_pCaption) m_pCaption->setText(text);
    PlaceCaption();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int lineY = QFontMetrics(font()).height() / 2;
    // An etched line, as the dialog manager's frame (the style's own group
    // frame leaves room for a caption above it).
    qDrawShadeRect(&painter, QRect(0, lineY, width(), height() - lineY), palette(), true, 1, 0);
  }
  void moveEvent(QMoveEvent*) override { PlaceCaption(); }
  void resizeEvent(QResizeEvent*) override { PlaceCaption(); }
  void changeEvent(QEvent* event) override {
    if (m_pCaption && event->type() == QEvent::FontChange) m_pCaption->setFont(font());
    if (m_pCaption && event->type() == QEvent::EnabledChange) m_pCaption->setEnabled(isEnabled());
    QGroupBox::changeEvent(event);
  }

 private:
  void PlaceCaption() {
    if (!m_pCaption) return;
    const QFontMetrics metrics(font());
    const int indent = metrics.averageCharWidth();
    m_pCaption->setGeometry(x() + indent, y(), metrics.horizontalAdvance(title()) + indent,
                            metrics.height());
  }

  QPointer<QLabel> m_pCaption;  // the dialog's child, like the box
};

void SendCommand(QWidget* control, UINT code) {
  auto* dialog = dynamic_cast<AfxQtDialog*>(control->window());
  if (!dialog) return;
  const int id = control->property(kIdProperty).toInt();
  AfxFenced(dialog->Owner(), FALSE, [&] {
    return dialog->Owner()->OnWndMsg(WM_COMMAND, MAKEWPARAM(id, code),
                                     reinterpret_cast<LPARAM>(static_cast<void*>(control)),
                                     nullptr);
  });
}

// Labels measured in their own font; the rule of how far they widen is the
// framework's.
void WidenLabels(const DialogTemplate& tmpl, QWidget* dialog,
                 const std::vector<QWidget*>& controls) {
  std::vector<LaidOutControl> laidOut;
  for (size_t i = 0; i < controls.size(); ++i) {
    const QRect r = controls[i]->geometry();
    LaidOutControl control;
    control.rect = CRect(r.x(), r.y(), r.x() + r.width(), r.y() + r.height());
    control.isFrame = qobject_cast<QGroupBox*>(controls[i]) != nullptr;
    auto* label = qobject_cast<QLabel*>(controls[i]);
    if (label && i < tmpl.itemCount && tmpl.items[i].kind == ControlKind::kLabel) {
      control.isLabel = true;
      control.textWidth = label->fontMetrics().horizontalAdvance(label->text());
    }
    laidOut.push_back(control);
  }
  const std::vector<CRect> placed = WidenCutLabels(laidOut, dialog->width());
  for (size_t i = 0; i < controls.size(); ++i) {
    if (laidOut[i].isLabel) controls[i]->resize(placed[i].Width(), placed[i].Height());
  }
}

QWidget* MakeControl(const DialogItem& item, QWidget* parent) {
  const QString caption = QString::fromUtf8(item.caption);
  switch (item.kind) {
    case ControlKind::kDropList:
      return new QComboBox(parent);
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(caption, parent);
      // No default button: Enter presses only the focused button.
      button->setAutoDefault(false);
      button->setDefault(false);
      QObject::connect(button, &QPushButton::clicked, button,
                       [button] { SendCommand(button, BN_CLICKED); });
      return button;
    }
    case ControlKind::kCheckBox: {
      auto* check = new QCheckBox(caption, parent);
      QObject::connect(check, &QCheckBox::clicked, check,
                       [check] { SendCommand(check, BN_CLICKED); });
      return check;
    }
    case ControlKind::kEdit:
      return new QLineEdit(parent);
    case ControlKind::kGroupBox:
      return new AfxQtGroupBox(caption, parent);
    case ControlKind::kLabel:
    case ControlKind::kSunkenLabel: {
      auto* label = new QLabel(parent);
      // Before the first text, whose change the screen reader's view of
      // the label is made for.
      if (item.kind == ControlKind::kSunkenLabel) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        MarkStatusLine(label);
      }
      // Texts from the unit and the file system are shown as they are,
      // never as markup.
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      label->setText(caption);
      return label;
    }
  }
  return new QWidget(parent);
}

}  // namespace

namespace afxqt {

QLabel* GroupCaption(QWidget* widget) {
  auto* group = dynamic_cast<AfxQtGroupBox*>(widget);
  return group ? group->Caption() : nullptr;
}

}  // namespace afxqt

namespace afxbackend {

void SetOwner(HWND hWnd, CWnd* pWnd) {
  WidgetOf(hWnd)->setProperty(kOwnerProperty, QVariant::fromValue(static_cast<void*>(pWnd)));
}

CWnd* OwnerOf(HWND hWnd) { return OwnerOfWidget(WidgetOf(hWnd)); }

int ControlId(HWND hWnd) { return WidgetOf(hWnd)->property(kIdProperty).toInt(); }

void Enable(HWND hWnd, bool enable) { WidgetOf(hWnd)->setEnabled(enable); }
bool IsEnabled(HWND hWnd) { return WidgetOf(hWnd)->isEnabled(); }
bool IsVisible(HWND hWnd) { return WidgetOf(hWnd)->isVisible(); }
bool IsMinimized(HWND hWnd) { return WidgetOf(hWnd)->isMinimized(); }

void SetText(HWND hWnd, const std::string& text) {
  QWidget* w = WidgetOf(hWnd);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(ToQString(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(ToQString(text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(ToQString(text));
  } else if (auto* framed = dynamic_cast<AfxQtGroupBox*>(w)) {
    framed->SetCaption(ToQString(text));
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(ToQString(text));
  } else if (w->isWindow()) {
    w->setWindowTitle(ToQString(text));
  }
}

std::string Text(HWND hWnd) {
  QWidget* w = WidgetOf(hWnd);
  if (auto* label = qobject_cast<QLabel*>(w)) return ToUtf8(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return ToUtf8(button->text());
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return ToUtf8(edit->text());
  if (auto* group = qobject_cast<QGroupBox*>(w)) return ToUtf8(group->title());
  if (auto* combo = qobject_cast<QComboBox*>(w)) return ToUtf8(combo->currentText());
  return w->isWindow() ? ToUtf8(w->windowTitle()) : std::string();
}

void Move(HWND hWnd, int x, int y, int width, int height, bool repaint) {
  QWidget* w = WidgetOf(hWnd);
  w->setGeometry(x, y, width, height);
  if (repaint) w->update();
}

void Focus(HWND hWnd) { WidgetOf(hWnd)->setFocus(Qt::OtherFocusReason); }

// The focused control; while the window system has not (yet) made a window
// active, the control that has the focus within the visible dialog.
HWND FocusedWindow() {
  QWidget* focus = QApplication::focusWidget();
  if (!focus) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (dynamic_cast<AfxQtDialog*>(window) && window->isVisible() && window->focusWidget()) {
        focus = window->focusWidget();
        break;
      }
    }
  }
  for (QWidget* w = focus; w; w = w->parentWidget()) {
    if (OwnerOfWidget(w)) return HandleOf(w);
  }
  return nullptr;
}

void SetWindowIcon(HWND hWnd, HICON icon, bool) {
  if (icon) WidgetOf(hWnd)->setWindowIcon(*IconOf(icon));
}

HWND ChildById(HWND dialog, int id) {
  auto* d = dynamic_cast<AfxQtDialog*>(WidgetOf(dialog));
  if (!d) return nullptr;
  for (QWidget* control : d->m_controls) {
    if (control->property(kIdProperty).toInt() == id) return HandleOf(control);
  }
  return nullptr;
}

int ComboAdd(HWND hWnd, const std::string& text) {
  auto* combo = static_cast<QComboBox*>(WidgetOf(hWnd));
  combo->addItem(ToQString(text));
  return combo->count() - 1;
}

void ComboSelect(HWND hWnd, int index) {
  auto* combo = static_cast<QComboBox*>(WidgetOf(hWnd));
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int ComboSelection(HWND hWnd) { return static_cast<QComboBox*>(WidgetOf(hWnd))->currentIndex(); }
int ComboCount(HWND hWnd) { return static_cast<QComboBox*>(WidgetOf(hWnd))->count(); }

std::string ComboText(HWND hWnd, int index) {
  return ToUtf8(static_cast<QComboBox*>(WidgetOf(hWnd))->itemText(index));
}

int CheckState(HWND hWnd) {
  auto* button = qobject_cast<QAbstractButton*>(WidgetOf(hWnd));
  return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void SetCheckState(HWND hWnd, int state) {
  if (auto* button = qobject_cast<QAbstractButton*>(WidgetOf(hWnd))) button->setChecked(state != 0);
}

HWND CreateDialogWindow(CDialog* owner, const DialogTemplate& tmpl, HWND parent,
                        std::vector<HWND>* controls) {
  InstallRouter();
  auto* dialog = new AfxQtDialog(owner, parent ? WidgetOf(parent) : nullptr);
  dialog->setProperty(kIdProperty, tmpl.id);
  dialog->setWindowTitle(QString::fromUtf8(tmpl.caption));
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint);
  dialog->setModal(true);
  dialog->setFont(DialogFont(tmpl));
  const DialogUnits dlu(dialog->font());
  dialog->setFixedSize(dlu.X(tmpl.cx), dlu.Y(tmpl.cy));

  QWidget* previous = nullptr;
  for (size_t i = 0; i < tmpl.itemCount; ++i) {
    const DialogItem& item = tmpl.items[i];
    QWidget* control = MakeControl(item, dialog);
    control->setProperty(kIdProperty, item.id);
    if (item.name[0] != '\0') control->setObjectName(QString::fromLatin1(item.name));
    QRect rect = dlu.Rect(item.x, item.y, item.w, item.h);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
      // The template height is that of the opened list; the closed box
      // takes the height of a line of text.
      combo->setMaxVisibleItems(std::max(1, dlu.Y(item.h) / combo->fontMetrics().height() - 1));
      rect.setHeight(dlu.Y(12) + 2);
      // activated is emitted only by the user's choice, not by a selection
      // the program makes.
      QObject::connect(combo, qOverload<int>(&QComboBox::activated), combo,
                       [combo] { SendCommand(combo, CBN_SELCHANGE); });
    }
    control->setGeometry(rect);
    if (control->focusPolicy() != Qt::NoFocus) {
      if (previous) QWidget::setTabOrder(previous, control);
      previous = control;
    }
    dialog->m_controls.push_back(control);
    controls->push_back(HandleOf(control));
  }
  // Group boxes are painted below the controls they surround.
  for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) group->lower();
  WidenLabels(tmpl, dialog, dialog->m_controls);
  return HandleOf(dialog);
}

void DestroyDialogWindow(HWND hWnd) { delete WidgetOf(hWnd); }

void FocusFirstTabStop(HWND hWnd) {
  auto* dialog = dynamic_cast<AfxQtDialog*>(WidgetOf(hWnd));
  if (!dialog) return;
  for (QWidget* control : dialog->m_controls) {
    if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled()) {
      control->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

HICON LoadIconResource(int id) {
  static std::map<int, QIcon> icons;
  auto it = icons.find(id);
  if (it == icons.end()) {
    const char* const* xpm = FindIconXpm(id);
    if (!xpm) return nullptr;
    it = icons.emplace(id, QIcon(QPixmap(xpm))).first;
  }
  return static_cast<void*>(&it->second);
}

void BeginWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void EndWaitCursor() { QApplication::restoreOverrideCursor(); }

// The window system draws a minimised window's icon itself; nothing here
// paints it.
HDC BeginIconPaint(HWND) { return nullptr; }
void EndIconPaint(HWND, HDC) {}
void DrawIconAt(HDC, int, int, HICON) {}
void EraseIconBackground(HWND, HDC) {}

int SystemMetric(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }

}  // namespace afxbackend
