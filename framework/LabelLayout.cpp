#include "LabelLayout.h"

#include <algorithm>

std::vector<CRect> WidenCutLabels(const std::vector<LaidOutControl>& controls, int clientRight) {
  std::vector<CRect> placed;
  placed.reserve(controls.size());
  for (const LaidOutControl& control : controls) placed.push_back(control.rect);
  for (size_t i = 0; i < controls.size(); ++i) {
    const CRect& box = controls[i].rect;
    const int needed = controls[i].textWidth + 1;
    if (!controls[i].isLabel || needed <= box.Width()) continue;
    int limit = clientRight;
    for (size_t j = 0; j < controls.size(); ++j) {
      const CRect& r = controls[j].rect;
      if (j == i || controls[j].isFrame) continue;
      // A control that starts inside the box stops it too: a label never
      // widens over a neighbour.
      if (r.left > box.left && r.top < box.bottom && r.bottom > box.top) {
        limit = std::min(limit, static_cast<int>(r.left));
      }
    }
    const int width = std::max(box.Width(), std::min(needed, limit - static_cast<int>(box.left)));
    placed[i].right = box.left + width;
  }
  return placed;
}
