// How far a label whose text is wider than its box may widen: a substitute
// for the template's font can be a little wider than the font the template
// was laid out in, and a label then takes the empty space to its right
// rather than cut its last characters off. Both backends measure their
// controls and apply what this decides, so the rule is the same on each.
#pragma once

#include <vector>

#include "AfxWin.h"

struct LaidOutControl {
  CRect rect;            // in the dialog's client coordinates, right and bottom exclusive
  bool isLabel = false;  // a plain label, the only kind that widens
  bool isFrame = false;  // a group box, which surrounds controls and stops nothing
  int textWidth = 0;     // a label's text extent in its font
};

// Each control's rectangle after widening, in the same order: a label
// widens to its text's extent plus one pixel, stopping at the nearest
// control that starts to the right of its left edge on rows it shares, or at
// clientRight; it never narrows.
std::vector<CRect> WidenCutLabels(const std::vector<LaidOutControl>& controls, int clientRight);
