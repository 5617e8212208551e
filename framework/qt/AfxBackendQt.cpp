// The dialog framework on Qt Widgets.
//
// A dialog is a QDialog built from its template in dialog units (the
// template's font, with a substitute where the system lacks it); each
// control is a widget whose object name is its identifier and which carries
// its control id and the framework object attached to it as properties. One
// application-wide event filter plays the part of the dialog manager's
// message loop: it hands every key press aimed at a dialog (or at the opened
// list of one of its drop-downs) to the dialog's PreTranslateMessage, and
// turns the characters typed into an edit, and input-method commits, into
// WM_CHAR messages one character at a time, so the edit's own handler
// decides what is inserted.
#include <qdrawutil.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTranslator>
#include <QWindow>
#include <map>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "AfxQt.h"
#include "DialogUnits.h"
#include "WindowFrameX11.h"

namespace {

constexpr const char* kOwnerProperty = "afxOwner";
constexpr const char* kIdProperty = "afxId";
constexpr unsigned kBackspace = 8;

QWidget* W(HWND hWnd) { return static_cast<QWidget*>(hWnd); }
HWND H(QWidget* widget) { return static_cast<void*>(widget); }
QIcon* I(HICON icon) { return static_cast<QIcon*>(icon); }

QString Q(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
std::string U(const QString& text) { return text.toUtf8().toStdString(); }

// The window a dialog lives in; a close request goes to the dialog's
// message map as WM_CLOSE.
class AfxQtDialog : public QDialog {
 public:
  AfxQtDialog(CDialog* owner, QWidget* parent) : QDialog(parent), m_pOwner(owner) {}

  CDialog* Owner() const { return m_pOwner; }
  std::vector<QWidget*> m_controls;  // template order

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (m_pOwner->OnWndMsg(WM_CLOSE, 0, 0, nullptr)) m_pOwner->EndDialog(IDCANCEL);
    if (m_pOwner->IsEnded()) {
      event->accept();
    } else {
      event->ignore();
    }
  }

 private:
  CDialog* m_pOwner;
};

// A group box drawn as the dialog manager draws one: the frame's top line
// runs through the middle of the caption, which interrupts it, so the
// controls placed inside the template's rectangle sit inside the frame.
class AfxQtGroupBox : public QGroupBox {
 public:
  AfxQtGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;
    // An etched line, as the dialog manager's frame (the style's own group
    // frame leaves room for a caption above it).
    qDrawShadeRect(&painter, QRect(0, lineY, width(), height() - lineY), palette(), true, 1, 0);
    const int indent = metrics.averageCharWidth();
    const QRect caption(indent, 0, metrics.horizontalAdvance(title()) + indent, metrics.height());
    painter.fillRect(caption, palette().window());
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(),
                          QPalette::WindowText);
  }
};

void SendCommand(QWidget* control, UINT code) {
  auto* dialog = dynamic_cast<AfxQtDialog*>(control->window());
  if (!dialog) return;
  const int id = control->property(kIdProperty).toInt();
  dialog->Owner()->OnWndMsg(WM_COMMAND, MAKEWPARAM(id, code),
                            reinterpret_cast<LPARAM>(static_cast<void*>(control)), nullptr);
}

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

CWnd* OwnerOfWidget(QWidget* widget) {
  return static_cast<CWnd*>(widget->property(kOwnerProperty).value<void*>());
}

// Asks an edit's object whether a typed character goes in.
bool AcceptsChar(CWnd* edit, unsigned ch) {
  return edit->OnWndMsg(WM_CHAR, ch, 1, nullptr) != FALSE;
}

// The characters a key press types, or nothing for a key that types none.
QString TypedText(const QKeyEvent* event) {
  switch (event->key()) {
    // Keys that edit or move without typing, and the keys the dialog and
    // the focus chain act on. Some platforms give them a text ("\x7f",
    // "\r", "\x1b", "\t"), but they are not characters the user types.
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return QString();
    case Qt::Key_Backspace:
      // Some platforms send backspace without text; it is a character all
      // the same.
      return QString(QChar(kBackspace));
    default:
      break;
  }
  QString typed = event->text();
  // Ctrl with a letter types a control character; where the platform leaves
  // the text empty, make it up so Ctrl+V and friends reach the handler too.
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (typed.isEmpty() && (mods & Qt::ControlModifier) &&
      !(mods & (Qt::AltModifier | Qt::MetaModifier)) && event->key() >= Qt::Key_A &&
      event->key() <= Qt::Key_Z) {
    typed = QString(QChar(event->key() - Qt::Key_A + 1));
  }
  return typed;
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
    if (m_bInserting || !watched->isWidgetType()) return false;
    QWidget* widget = static_cast<QWidget*>(watched);
    QWidget* target = nullptr;
    AfxQtDialog* dialog = DialogOfKeyTarget(widget, &target);
    if (!dialog) return false;

    if (event->type() == QEvent::InputMethod) {
      return OnInputMethod(widget, static_cast<QInputMethodEvent*>(event));
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const bool alt = (key->modifiers() & Qt::AltModifier) != 0;
    if (event->type() == QEvent::ShortcutOverride) {
      // Enter and Escape belong to the dialog: no widget shortcut may act on
      // them before the key filter has seen the key press.
      return IsEnterOrEscape(key->key()) && !alt;
    }
    MSG msg{H(target), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, VirtualKeyOf(key->key()), 0};
    if (dialog->Owner()->PreTranslateMessage(&msg)) return true;
    return OnKeyPress(widget, key);
  }

 private:
  // A key press into an edit: each character it types goes to the edit's
  // object as WM_CHAR; only what that lets through is inserted.
  bool OnKeyPress(QWidget* widget, QKeyEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(widget);
    CWnd* object = edit ? OwnerOfWidget(edit) : nullptr;
    if (!object) return false;
    const QString typed = TypedText(event);
    if (typed.isEmpty()) return false;
    if (typed.size() == 1) {
      // Let the line edit type it the usual way (selection replaced, undo
      // kept); a dropped character, control characters included, never
      // reaches it, or it would act on its own shortcut table first.
      if (AcceptsChar(object, typed.at(0).unicode())) return false;
      event->accept();
      return true;
    }
    // Several characters in one press (a compose sequence, an auto-repeat
    // batch): filter and type them one by one so the handler sees each.
    for (const QChar c : typed) {
      if (!AcceptsChar(object, c.unicode())) continue;
      if (c.unicode() == kBackspace) {
        edit->backspace();
      } else {
        edit->insert(QString(c));
      }
    }
    event->accept();
    return true;
  }

  // An input-method commit into an edit, character by character, so the
  // handler sees each. The replacement range belongs to the commit: it is
  // applied with the first character that passes, and dropped with the
  // commit when none does. The preedit text passes untouched.
  bool OnInputMethod(QWidget* widget, QInputMethodEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(widget);
    CWnd* object = edit ? OwnerOfWidget(edit) : nullptr;
    const QString commit = event->commitString();
    if (!object || commit.isEmpty()) return false;
    m_bInserting = true;
    bool replacementPending = event->replacementLength() != 0;
    for (const QChar c : commit) {
      // Backspace is a key, not something an input method commits.
      if (c.unicode() == kBackspace || !AcceptsChar(object, c.unicode())) continue;
      QInputMethodEvent piece;
      if (replacementPending) {
        piece.setCommitString(QString(c), event->replacementStart(), event->replacementLength());
        replacementPending = false;
      } else {
        piece.setCommitString(QString(c));
      }
      QApplication::sendEvent(edit, &piece);
    }
    QInputMethodEvent rest(event->preeditString(), event->attributes());
    QApplication::sendEvent(edit, &rest);
    m_bInserting = false;
    event->accept();
    return true;
  }

  bool m_bInserting = false;
};

void InstallRouter() {
  static AfxQtRouter* router = nullptr;
  if (router) return;
  router = new AfxQtRouter;
  router->setParent(qApp);
  qApp->installEventFilter(router);
}

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

// A label whose text is wider than its box may use the empty space to its
// right, up to the next control on its row, rather than cut its last
// characters off (the substitute font is a little wider than the
// template's).
void WidenCutLabels(const DialogTemplate& tmpl, const std::vector<QWidget*>& controls) {
  for (size_t i = 0; i < controls.size(); ++i) {
    auto* label = qobject_cast<QLabel*>(controls[i]);
    if (!label || tmpl.items[i].kind != ControlKind::kLabel) continue;
    const QRect box = label->geometry();
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    if (needed <= box.width()) continue;
    int limit = label->parentWidget()->width();
    for (QWidget* other : controls) {
      const QRect r = other->geometry();
      if (other == label || qobject_cast<QGroupBox*>(other)) continue;
      if (r.left() >= box.right() && r.top() <= box.bottom() && r.bottom() >= box.top()) {
        limit = std::min(limit, r.left());
      }
    }
    label->resize(std::min(needed, limit - box.left()), box.height());
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
      auto* label = new QLabel(caption, parent);
      // Texts from the unit and the file system are shown as they are,
      // never as markup.
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      if (item.kind == ControlKind::kSunkenLabel)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      return label;
    }
  }
  return new QWidget(parent);
}

}  // namespace

bool AfxLoadToolkitTranslations() {
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* loaded = new QTranslator(qApp);
  if (!loaded->load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete loaded;
    return false;
  }
  QApplication::installTranslator(loaded);
  translator = loaded;
  return true;
}

namespace afxbackend {

void SetOwner(HWND hWnd, CWnd* pWnd) {
  W(hWnd)->setProperty(kOwnerProperty, QVariant::fromValue(static_cast<void*>(pWnd)));
}

CWnd* OwnerOf(HWND hWnd) { return OwnerOfWidget(W(hWnd)); }

int ControlId(HWND hWnd) { return W(hWnd)->property(kIdProperty).toInt(); }

void Enable(HWND hWnd, bool enable) { W(hWnd)->setEnabled(enable); }
bool IsEnabled(HWND hWnd) { return W(hWnd)->isEnabled(); }
bool IsVisible(HWND hWnd) { return W(hWnd)->isVisible(); }
bool IsMinimized(HWND hWnd) { return W(hWnd)->isMinimized(); }

void SetText(HWND hWnd, const std::string& text) {
  QWidget* w = W(hWnd);
  if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(Q(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(Q(text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(Q(text));
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(Q(text));
  } else if (w->isWindow()) {
    w->setWindowTitle(Q(text));
  }
}

std::string Text(HWND hWnd) {
  QWidget* w = W(hWnd);
  if (auto* label = qobject_cast<QLabel*>(w)) return U(label->text());
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return U(button->text());
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return U(edit->text());
  if (auto* group = qobject_cast<QGroupBox*>(w)) return U(group->title());
  if (auto* combo = qobject_cast<QComboBox*>(w)) return U(combo->currentText());
  return w->isWindow() ? U(w->windowTitle()) : std::string();
}

CRect OuterRect(HWND hWnd) {
  QWidget* w = W(hWnd);
  if (!w->isWindow()) return ToCRect(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
  return ToCRect(w->geometry().marginsAdded(FrameMargins(w)));
}

CRect ClientRect(HWND hWnd) { return CRect(0, 0, W(hWnd)->width(), W(hWnd)->height()); }

void Move(HWND hWnd, int x, int y, int width, int height, bool repaint) {
  QWidget* w = W(hWnd);
  w->setGeometry(x, y, width, height);
  if (repaint) w->update();
}

void PlaceTopLevel(HWND hWnd, int x, int y, int cx, int cy, bool show) {
  QWidget* w = W(hWnd);
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
  QWidget* w = W(hWnd);
  const QMargins frame = FrameMargins(w);
  const QRect normal = (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
                           ? w->normalGeometry()
                           : w->geometry();
  return ToCRect(normal.marginsAdded(frame));
}

void Focus(HWND hWnd) { W(hWnd)->setFocus(Qt::OtherFocusReason); }

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
    if (OwnerOfWidget(w)) return H(w);
  }
  return nullptr;
}

void SetWindowIcon(HWND hWnd, HICON icon, bool) {
  if (icon) W(hWnd)->setWindowIcon(*I(icon));
}

HWND ChildById(HWND dialog, int id) {
  auto* d = dynamic_cast<AfxQtDialog*>(W(dialog));
  if (!d) return nullptr;
  for (QWidget* control : d->m_controls) {
    if (control->property(kIdProperty).toInt() == id) return H(control);
  }
  return nullptr;
}

int ComboAdd(HWND hWnd, const std::string& text) {
  auto* combo = static_cast<QComboBox*>(W(hWnd));
  combo->addItem(Q(text));
  return combo->count() - 1;
}

void ComboSelect(HWND hWnd, int index) {
  auto* combo = static_cast<QComboBox*>(W(hWnd));
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int ComboSelection(HWND hWnd) { return static_cast<QComboBox*>(W(hWnd))->currentIndex(); }
int ComboCount(HWND hWnd) { return static_cast<QComboBox*>(W(hWnd))->count(); }

std::string ComboText(HWND hWnd, int index) {
  return U(static_cast<QComboBox*>(W(hWnd))->itemText(index));
}

void ComboSetTip(HWND hWnd, int index, const std::string& text) {
  static_cast<QComboBox*>(W(hWnd))->setItemData(index, Q(text), Qt::ToolTipRole);
}

std::string ComboTip(HWND hWnd, int index) {
  return U(static_cast<QComboBox*>(W(hWnd))->itemData(index, Qt::ToolTipRole).toString());
}

int CheckState(HWND hWnd) {
  auto* button = qobject_cast<QAbstractButton*>(W(hWnd));
  return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void SetCheckState(HWND hWnd, int state) {
  if (auto* button = qobject_cast<QAbstractButton*>(W(hWnd))) button->setChecked(state != 0);
}

HWND CreateDialogWindow(CDialog* owner, const DialogTemplate& tmpl, HWND parent,
                        std::vector<HWND>* controls) {
  InstallRouter();
  auto* dialog = new AfxQtDialog(owner, parent ? W(parent) : nullptr);
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
    controls->push_back(H(control));
  }
  // Group boxes are painted below the controls they surround.
  for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) group->lower();
  WidenCutLabels(tmpl, dialog->m_controls);
  return H(dialog);
}

void DestroyDialogWindow(HWND hWnd) { delete W(hWnd); }

void FocusFirstTabStop(HWND hWnd) {
  auto* dialog = dynamic_cast<AfxQtDialog*>(W(hWnd));
  if (!dialog) return;
  for (QWidget* control : dialog->m_controls) {
    if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled()) {
      control->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void RunModalLoop(HWND hWnd) { static_cast<QDialog*>(W(hWnd))->exec(); }

void EndModalLoop(HWND hWnd, int result) { static_cast<QDialog*>(W(hWnd))->done(result); }

bool HandleDialogKey(CDialog* dialog, MSG* msg) {
  if (msg->message != WM_KEYDOWN) return false;
  if (msg->wParam == VK_RETURN) {
    auto* button = qobject_cast<QPushButton*>(W(msg->hwnd));
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

CRect WorkArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? ToCRect(screen->availableGeometry()) : CRect();
}

CPoint ScreenOrigin() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? CPoint(screen->geometry().x(), screen->geometry().y()) : CPoint();
}

int ShowMessageBox(const MessageBoxRequest& request) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (request.type & MB_ICONMASK) {
    case MB_ICONSTOP:
      icon = QMessageBox::Critical;
      break;
    case MB_ICONQUESTION:
      icon = QMessageBox::Question;
      break;
    case MB_ICONEXCLAMATION:
      icon = QMessageBox::Warning;
      break;
    case MB_ICONINFORMATION:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QWidget* owner = request.owner ? W(request.owner->m_hWnd) : nullptr;
  QMessageBox box(icon, Q(request.caption), Q(request.text), QMessageBox::NoButton, owner);
  box.setTextFormat(Qt::PlainText);
  if (!request.detail.empty()) {
    box.setInformativeText(Q(request.detail));
    // Shown as it is, like the text: it may quote what a unit sent.
    if (auto* detail = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
      detail->setTextFormat(Qt::PlainText);
    }
  }
  const UINT buttons = request.type & MB_TYPEMASK;
  switch (buttons) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case MB_YESNOCANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      // Escape and the title-bar close answer Cancel.
      return buttons == MB_OK ? IDOK : IDCANCEL;
  }
}

int RunEventLoop() { return QApplication::exec(); }

}  // namespace afxbackend
