// The hints of a drop-down's entries on Qt Widgets: each entry's tool tip,
// which the opened list shows under the pointer by itself.
#include <QComboBox>

#include "AfxBackend.h"
#include "BackendQt.h"

using namespace afxqt;

namespace afxbackend {

void ComboSetTip(HWND hWnd, int index, const std::string& text) {
  static_cast<QComboBox*>(WidgetOf(hWnd))->setItemData(index, ToQString(text), Qt::ToolTipRole);
}

std::string ComboTip(HWND hWnd, int index) {
  return ToUtf8(
      static_cast<QComboBox*>(WidgetOf(hWnd))->itemData(index, Qt::ToolTipRole).toString());
}

}  // namespace afxbackend
