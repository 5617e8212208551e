// What is typed into an edit on Qt Widgets: the characters of a key press,
// and input-method commits, go to the edit's object as WM_CHAR messages one
// character at a time, so the edit's own handler decides what is inserted.
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "AfxDialog.h"
#include "BackendQt.h"

using namespace afxqt;

namespace {

constexpr unsigned kBackspace = 8;

bool g_bInserting = false;

// Asks an edit's object whether a typed character goes in.
// A character whose handler failed is not typed.
bool AcceptsChar(CWnd* edit, unsigned ch) {
  auto* dialog = dynamic_cast<AfxQtDialog*>(WidgetOf(edit->m_hWnd)->window());
  return AfxFenced(dialog ? dialog->Owner() : nullptr, false,
                   [&] { return edit->OnWndMsg(WM_CHAR, ch, 1, nullptr) != FALSE; });
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

}  // namespace

bool afxqt::IsInsertingFilteredInput() { return g_bInserting; }

// A key press into an edit: each character it types goes to the edit's
// object as WM_CHAR; only what that lets through is inserted.
bool afxqt::FilterEditKeyPress(QWidget* widget, QKeyEvent* event) {
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
bool afxqt::FilterEditInputMethod(QWidget* widget, QInputMethodEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(widget);
  CWnd* object = edit ? OwnerOfWidget(edit) : nullptr;
  const QString commit = event->commitString();
  if (!object || commit.isEmpty()) return false;
  g_bInserting = true;
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
  g_bInserting = false;
  event->accept();
  return true;
}
