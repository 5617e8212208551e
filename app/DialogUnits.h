// Dialog units to pixels, as the Windows dialog manager computes them: a
// horizontal unit is a quarter of the font's average character width (the
// 52 letters A-Z a-z, rounded), a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseX, int baseY) : m_nBaseX(baseX), m_nBaseY(baseY) {}

  int X(int units) const;
  int Y(int units) const;
  QRect Rect(int x, int y, int w, int h) const;

  int BaseX() const { return m_nBaseX; }
  int BaseY() const { return m_nBaseY; }

 private:
  int m_nBaseX;
  int m_nBaseY;
};

// The dialog font: the template's face, with a substitute where it is absent.
QFont DialogFont();
