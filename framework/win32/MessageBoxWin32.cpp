// Message boxes on Win32: the system's MessageBoxW.
#include <windows.h>

#include <string>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "BackendWin32.h"

using namespace afxwin32;

namespace afxbackend {

int ShowMessageBox(const MessageBoxRequest& request) {
  std::string text = request.text;
  // The system box has no second text area: the detail follows the text.
  if (!request.detail.empty()) text += "\r\n\r\n" + request.detail;
  HWND owner = request.owner ? request.owner->m_hWnd : nullptr;
  return MessageBoxW(owner, ToWide(text).c_str(), ToWide(request.caption).c_str(), request.type);
}

}  // namespace afxbackend
