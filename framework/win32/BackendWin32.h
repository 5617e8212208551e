// What the files of the Win32 backend share among themselves: the window
// properties, the state record each dialog carries, the text conversions
// and the subclass procedures one file installs for another. Nothing outside
// framework/win32 includes it.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "AfxDialog.h"
#include "AfxWin32.h"
#include "WideTextWin32.h"

namespace afxwin32 {

// The framework object attached to a window, and a dialog's state record.
inline constexpr wchar_t kOwnerProp[] = L"Zeta7.AfxOwner";
inline constexpr wchar_t kDialogProp[] = L"Zeta7.AfxDialog";
inline constexpr UINT_PTR kEditSubclassId = 1;
inline constexpr UINT_PTR kListSubclassId = 2;

// What we keep for each dialog window while it exists: created with it,
// freed at its WM_NCDESTROY.
struct DialogState {
  CDialog* dialog = nullptr;
  bool showWhenRun = false;                       // the template asks for a visible window
  std::map<HWND, std::vector<std::string>> tips;  // by drop-down list
  HWND tipWindow = nullptr;                       // the hint shown over an opened list's entry
  std::vector<HWND> annotated;                    // controls told to screen readers
  std::vector<HWND> statusLines;
  int tipIndex = -1;  // the entry it is shown for
  PAINTSTRUCT paint{};
};

// Text for display: a byte or unit that is not valid in its encoding shows
// as a replacement character rather than emptying the whole text.
inline std::wstring ToWide(const std::string& text) { return win32::Wide(text); }
inline std::string ToUtf8(const wchar_t* text, size_t length) {
  return win32::Utf8(std::wstring_view(text, length));
}

inline DialogState* StateOf(HWND dialog) {
  return dialog ? static_cast<DialogState*>(GetPropW(dialog, kDialogProp)) : nullptr;
}

inline CDialog* DialogOf(HWND hWnd) {
  DialogState* state = StateOf(hWnd);
  return state ? state->dialog : nullptr;
}

// The dialog whose window (or one of its controls) a message is aimed at.
inline CDialog* DialogOfTarget(HWND hWnd) {
  return hWnd ? DialogOf(GetAncestor(hWnd, GA_ROOT)) : nullptr;
}

// ModalLoopWin32.cpp: ends the modal loops running for a dialog whose window
// is being destroyed.
void EndModalLoopsOnDestroy(HWND dialog);

// EditInputWin32.cpp: an edit's subclass, which filters every character.
LRESULT CALLBACK EditProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR);
// ListHintsWin32.cpp: an opened drop-down list's subclass, which shows the
// hints; its reference data is the drop-down.
LRESULT CALLBACK ListProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR data);

// AccessibilityWin32.cpp: a sunken label is the dialog's status line,
// marked live for screen readers, which are told when its text changes;
// the annotations go with the dialog.
void MarkStatusLine(HWND control);
void AnnounceIfStatusLine(HWND control);
void ForgetAnnotations(const DialogState& state);

}  // namespace afxwin32
