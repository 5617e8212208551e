// What is typed into an edit on Win32: the edit is subclassed so that every
// character, typed or composed, goes to the attached object as WM_CHAR
// before the edit sees it.
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <imm.h>

#include <string>

#include "AfxBackend.h"
#include "BackendWin32.h"

using namespace afxwin32;

namespace {

// Asks an edit's object whether a character goes in; true when it does.
bool PassesCharFilter(HWND edit, WPARAM ch, LPARAM flags) {
  CWnd* owner = afxbackend::OwnerOf(edit);
  return !owner || owner->OnWndMsg(WM_CHAR, ch, flags, nullptr) != FALSE;
}

// An input method's result string goes in character by character through
// the filter, as if typed; the edit's own handling would insert it whole.
void InsertComposedResult(HWND edit) {
  HIMC context = ImmGetContext(edit);
  if (!context) return;
  const LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
  if (bytes > 0) {
    std::wstring result(static_cast<size_t>(bytes) / sizeof(wchar_t), L'\0');
    ImmGetCompositionStringW(context, GCS_RESULTSTR, &result[0], static_cast<DWORD>(bytes));
    for (const wchar_t c : result) SendMessageW(edit, WM_CHAR, c, 1);
  }
  ImmReleaseContext(edit, context);
}

}  // namespace

LRESULT CALLBACK afxwin32::EditProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR) {
  switch (message) {
    case WM_CHAR:
    case WM_IME_CHAR:  // the edit inserts these as it does WM_CHAR
      // A character whose handler failed is not typed.
      if (!AfxFenced(DialogOfTarget(hWnd), false,
                     [&] { return PassesCharFilter(hWnd, wParam, lParam); })) {
        return 0;
      }
      break;
    case WM_IME_COMPOSITION:
      if (lParam & GCS_RESULTSTR) {
        AfxFenced(DialogOfTarget(hWnd), false, [&] {
          InsertComposedResult(hWnd);
          return true;
        });
        lParam &= ~static_cast<LPARAM>(GCS_RESULTSTR | GCS_RESULTCLAUSE | GCS_RESULTREADSTR |
                                       GCS_RESULTREADCLAUSE);
        if (lParam == 0) return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hWnd, EditProc, kEditSubclassId);
      RemovePropW(hWnd, kOwnerProp);
      break;
    default:
      break;
  }
  return DefSubclassProc(hWnd, message, wParam, lParam);
}
