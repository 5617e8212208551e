// The modal loop on Win32, a message loop of our own: each queued message
// of the dialog and its controls goes to the dialog's PreTranslateMessage
// first, whose base is IsDialogMessageW.
#include <windows.h>

#include "AfxBackend.h"
#include "AfxDialog.h"
#include "AfxWin32.h"
#include "BackendWin32.h"

using namespace afxwin32;

void AfxWin32HandleQueued(MSG* msg) {
  if (CDialog* dialog = DialogOfTarget(msg->hwnd)) {
    if (dialog->PreTranslateMessage(msg)) return;
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
}

void AfxWin32DrainQueue() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    AfxWin32HandleQueued(&msg);
  }
}

namespace afxbackend {

void RunModalLoop(HWND hWnd) {
  DialogState* state = StateOf(hWnd);
  if (!state) return;
  HWND owner = GetWindow(hWnd, GW_OWNER);
  if (owner && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    state->disabledOwner = owner;
  }
  if (state->showWhenRun && !::IsWindowVisible(hWnd)) ShowWindow(hWnd, SW_SHOW);
  MSG msg;
  while (!state->dialog->IsEnded()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
      break;
    }
    if (got == -1) break;
    AfxWin32HandleQueued(&msg);
  }
  if (state->disabledOwner) {
    ::EnableWindow(state->disabledOwner, TRUE);
    state->disabledOwner = nullptr;
  }
}

void EndModalLoop(HWND hWnd, int) {
  // The owner takes input again before the dialog goes, so that the system
  // activates it and not some other program's window.
  if (DialogState* state = StateOf(hWnd); state && state->disabledOwner) {
    ::EnableWindow(state->disabledOwner, TRUE);
    state->disabledOwner = nullptr;
  }
  ShowWindow(hWnd, SW_HIDE);
  PostMessageW(hWnd, WM_NULL, 0, 0);  // wakes the loop to see the end
}

bool HandleDialogKey(CDialog* dialog, MSG* msg) {
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
  return IsDialogMessageW(dialog->m_hWnd, msg) != FALSE;
}

int RunEventLoop() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) AfxWin32HandleQueued(&msg);
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}

}  // namespace afxbackend
