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
    // A filter that failed consumes the message; the dialog is ending.
    if (AfxFenced(dialog, true, [&] { return dialog->PreTranslateMessage(msg) != FALSE; })) return;
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

namespace {

// One running modal loop. It keeps what it needs to end by itself: the
// dialog's state record and object may both be gone by the time the loop
// looks again (a handler that destroys the window, an owner destroyed under
// it), so the loop reads neither once it has started.
struct ModalLoop {
  HWND window;
  HWND disabledOwner;
  bool ended;
  ModalLoop* outer;
};

ModalLoop* g_innermostLoop = nullptr;

// The owner takes input again before the dialog goes, so that the system
// activates it and not some other program's window.
void EnableOwner(ModalLoop* loop) {
  if (!loop->disabledOwner) return;
  ::EnableWindow(loop->disabledOwner, TRUE);
  loop->disabledOwner = nullptr;
}

// Ends every loop running for the window; true when there was one.
bool EndLoopsOf(HWND window) {
  bool found = false;
  for (ModalLoop* loop = g_innermostLoop; loop; loop = loop->outer) {
    if (loop->window != window) continue;
    EnableOwner(loop);
    loop->ended = true;
    found = true;
  }
  return found;
}

}  // namespace

void afxwin32::EndModalLoopsOnDestroy(HWND dialog) { EndLoopsOf(dialog); }

namespace afxbackend {

void RunModalLoop(HWND hWnd) {
  DialogState* state = StateOf(hWnd);
  if (!state) return;
  ModalLoop loop{hWnd, nullptr, false, g_innermostLoop};
  g_innermostLoop = &loop;
  HWND owner = GetWindow(hWnd, GW_OWNER);
  if (owner && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    loop.disabledOwner = owner;
  }
  if (state->showWhenRun && !::IsWindowVisible(hWnd)) ShowWindow(hWnd, SW_SHOW);
  state = nullptr;
  MSG msg;
  while (!loop.ended) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
      break;
    }
    if (got == -1) break;
    AfxWin32HandleQueued(&msg);
  }
  EnableOwner(&loop);
  g_innermostLoop = loop.outer;
}

void EndModalLoop(HWND hWnd, int) {
  const bool running = EndLoopsOf(hWnd);
  ShowWindow(hWnd, SW_HIDE);
  if (running) PostMessageW(hWnd, WM_NULL, 0, 0);  // wakes the loop to see the end
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
