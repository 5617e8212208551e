#include "DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include "DialogTemplate.h"

namespace {

// MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  m_nBaseX = (width / 26 + 1) / 2;
  m_nBaseY = metrics.height();
}

int DialogUnits::X(int units) const { return MulDiv(units, m_nBaseX, 4); }
int DialogUnits::Y(int units) const { return MulDiv(units, m_nBaseY, 8); }

QRect DialogUnits::Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

QFont DialogFont(const DialogTemplate& dialogTemplate) {
  // The template's Japanese fixed-pitch Gothic face is a Windows font; IPA
  // Gothic is the closest face that Linux distributions ship.
  // Asking the font database which face it has is much cheaper than letting
  // a missing face go through the system's fallback search.
  const QString face = QString::fromUtf8(dialogTemplate.fontFace);
  const QString candidates[] = {face, QStringLiteral("IPAGothic"),
                                QStringLiteral("Noto Sans Mono CJK JP")};
  QString chosen = QStringLiteral("monospace");
  for (const QString& candidate : candidates) {
    if (QFontDatabase::hasFamily(candidate)) {
      chosen = candidate;
      break;
    }
  }
  QFont font(chosen);
  font.setPointSize(dialogTemplate.fontPoints);
  font.setStyleHint(QFont::TypeWriter);
  return font;
}
