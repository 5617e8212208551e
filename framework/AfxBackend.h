// What a toolkit backend provides to the dialog framework: one whole set of
// files per toolkit (framework/qt/ for Qt Widgets, ...), chosen in CMake,
// implements every function declared here. The framework's own classes
// decide what to call and when; these functions only carry each step out
// with the toolkit. Handles are the backend's own objects behind HWND and
// HICON. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "AfxServices.h"
#include "AfxWin.h"
#include "DialogTemplate.h"

class CDialog;

namespace afxbackend {

// Windows and controls.
void SetOwner(HWND hWnd, CWnd* pWnd);  // nullptr: no object is attached
CWnd* OwnerOf(HWND hWnd);
int ControlId(HWND hWnd);
void Enable(HWND hWnd, bool enable);
bool IsEnabled(HWND hWnd);
bool IsVisible(HWND hWnd);
bool IsMinimized(HWND hWnd);
void SetText(HWND hWnd, const std::string& text);
std::string Text(HWND hWnd);
CRect OuterRect(HWND hWnd);   // screen coordinates
CRect ClientRect(HWND hWnd);  // origin (0, 0)
void Move(HWND hWnd, int x, int y, int width, int height, bool repaint);
void PlaceTopLevel(HWND hWnd, int x, int y, int cx, int cy, bool show);
CRect NormalOuterRect(HWND hWnd);
void Focus(HWND hWnd);
HWND FocusedWindow();
void SetWindowIcon(HWND hWnd, HICON icon, bool big);
HWND ChildById(HWND dialog, int id);

// Drop-down lists and buttons.
int ComboAdd(HWND hWnd, const std::string& text);
void ComboSelect(HWND hWnd, int index);  // outside the list: no selection
int ComboSelection(HWND hWnd);
int ComboCount(HWND hWnd);
std::string ComboText(HWND hWnd, int index);
void ComboSetTip(HWND hWnd, int index, const std::string& text);
std::string ComboTip(HWND hWnd, int index);
int CheckState(HWND hWnd);
void SetCheckState(HWND hWnd, int state);

// Dialogs. CreateDialogWindow builds the window and its controls from the
// template, hidden unless the template says visible and the caller shows
// it; the control handles come back in template order.
HWND CreateDialogWindow(CDialog* dialog, const DialogTemplate& dialogTemplate, HWND parent,
                        std::vector<HWND>* controls);
void DestroyDialogWindow(HWND hWnd);
// Puts the focus on the first tab stop, as after initialisation.
void FocusFirstTabStop(HWND dialog);
// Runs the dialog's modal loop until EndDialog.
void RunModalLoop(HWND dialog);
void EndModalLoop(HWND dialog, int result);
// The standard dialog keyboard handling for one queued message; true when
// it acted on it.
bool HandleDialogKey(CDialog* dialog, MSG* msg);

// Screen readers: label (or nullptr) names control and description (or
// nullptr) describes it, both controls of the same dialog.
void LabelControl(HWND control, HWND label, HWND description);

// The rest of what the framework's classes need.
HICON LoadIconResource(int id);
void BeginWaitCursor();
void EndWaitCursor();
HDC BeginIconPaint(HWND hWnd);
void EndIconPaint(HWND hWnd, HDC dc);
void DrawIconAt(HDC dc, int x, int y, HICON icon);
void EraseIconBackground(HWND hWnd, HDC dc);
int SystemMetric(int index);
CRect WorkArea();
CPoint ScreenOrigin();
int ShowMessageBox(const MessageBoxRequest& request);
int RunEventLoop();

}  // namespace afxbackend
