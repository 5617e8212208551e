// Dialog units to pixels, as the Windows dialog manager computes them: a
// horizontal unit is a quarter of the font's average character width (the
// 52 letters A-Z a-z, rounded), a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int X(int units) const;
  int Y(int units) const;
  QRect Rect(int x, int y, int w, int h) const;

 private:
  int m_nBaseX;
  int m_nBaseY;
};

// The dialog font: the template's face, with a substitute where it is absent.
struct DialogTemplate;
QFont DialogFont(const DialogTemplate& dialogTemplate);
