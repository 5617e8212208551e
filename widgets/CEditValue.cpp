#include "CEditValue.h"

#include <QByteArray>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QString>

#include "DecimalText.h"

namespace {

// The typing cap looks at the text through a 16-byte buffer, and the
// conversion through a 256-byte one; both keep one byte for the terminator.
constexpr int kTypingWindow = 15;
constexpr int kConvertWindow = 255;

constexpr unsigned int kBackspace = 8;

}  // namespace

CEditValue::CEditValue(QWidget* parent) : QLineEdit(parent) {}

CEditValue::~CEditValue() = default;

bool CEditValue::OnChar(unsigned int ch) {
  if (ch >= '0' && ch <= '9') {
    const qsizetype bytes = text().toLocal8Bit().size();
    const unsigned int seen =
        static_cast<unsigned int>(bytes < kTypingWindow ? bytes : kTypingWindow);
    return seen < static_cast<unsigned int>(m_nMaxChars);
  }
  return ch == kBackspace;
}

int CEditValue::GetValue(int* value) const {
  const QByteArray bytes = text().toLocal8Bit().left(kConvertWindow);
  if (bytes.isEmpty()) return -2;
  const int n = DecimalToInt(bytes.constData());
  *value = n;
  return (n < m_nMin || n > m_nMax) ? -1 : 0;
}

QString CEditValue::TypedText(const QKeyEvent* event) {
  switch (event->key()) {
    // Keys that edit or move without typing, and the keys the dialog and
    // focus chain act on. Some platforms give them a text ("\x7f", "\r",
    // "\x1b", "\t"), but they are not characters the user types.
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
  // the text empty, make it up so Ctrl+V and friends are dropped everywhere.
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (typed.isEmpty() && (mods & Qt::ControlModifier) &&
      !(mods & (Qt::AltModifier | Qt::MetaModifier)) && event->key() >= Qt::Key_A &&
      event->key() <= Qt::Key_Z) {
    typed = QString(QChar(event->key() - Qt::Key_A + 1));
  }
  return typed;
}

void CEditValue::keyPressEvent(QKeyEvent* event) {
  const QString typed = TypedText(event);
  if (typed.isEmpty()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (typed.size() == 1) {
    // Let the line edit type it the usual way (selection replaced, undo
    // kept); a dropped character, control characters included, never
    // reaches it, or it would act on its own shortcut table first.
    if (OnChar(typed.at(0).unicode())) {
      QLineEdit::keyPressEvent(event);
    } else {
      event->accept();
    }
    return;
  }
  // Several characters in one press (a compose sequence, an auto-repeat
  // batch): filter and type them one by one so the cap sees each.
  for (const QChar c : typed) {
    if (!OnChar(c.unicode())) continue;
    if (c.unicode() == kBackspace) {
      backspace();
    } else {
      insert(QString(c));
    }
  }
  event->accept();
}

void CEditValue::inputMethodEvent(QInputMethodEvent* event) {
  const QString commit = event->commitString();
  if (commit.isEmpty()) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  // Commit the characters that pass one at a time, so the cap sees each.
  // The replacement range belongs to the commit: it is applied with the
  // first character that passes, and dropped with the commit when none does.
  bool replacementPending = event->replacementLength() != 0;
  for (const QChar c : commit) {
    // Backspace is a key, not something an input method commits.
    if (c.unicode() == kBackspace || !OnChar(c.unicode())) continue;
    QInputMethodEvent piece;
    if (replacementPending) {
      piece.setCommitString(QString(c), event->replacementStart(), event->replacementLength());
      replacementPending = false;
    } else {
      piece.setCommitString(QString(c));
    }
    QLineEdit::inputMethodEvent(&piece);
  }
  // The preedit text and its attributes pass untouched.
  QInputMethodEvent rest(event->preeditString(), event->attributes());
  QLineEdit::inputMethodEvent(&rest);
  event->accept();
}
