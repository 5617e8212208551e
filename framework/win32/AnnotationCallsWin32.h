// The calls through which the Win32 backend tells screen readers what the
// dialog's control order cannot: a control's name and description, and the
// status line whose changes they should speak (the system's annotation
// service, oleacc's IAccPropServices, and NotifyWinEvent). They are one
// table so that a test can read what was asked: Wine's annotation service
// accepts nothing, so there the real calls show nothing.
//
// The table is read on every call; a test installs its own for its scope
// and puts the system's back. User-interface thread only.
#pragma once

#include <windows.h>

struct AnnotationCalls {
  // Sets a text property (PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION) of a
  // control's own accessible object.
  HRESULT (*setText)(HWND hWnd, const GUID& property, const wchar_t* text);
  // Sets a number property (the status line's live setting).
  HRESULT (*setNumber)(HWND hWnd, const GUID& property, int value);
  // Forgets the given properties of a window that is going away.
  HRESULT (*clear)(HWND hWnd, const GUID* properties, int count);
  // Raises an accessibility event for a control's own object.
  void(WINAPI* notify)(DWORD event, HWND hWnd, LONG idObject, LONG idChild);
};

// The properties the backend sets: the name and description of oleacc, and
// UI Automation's live setting (polite: spoken when the reader is idle).
extern const GUID kAnnotationName;
extern const GUID kAnnotationDescription;
extern const GUID kAnnotationLiveSetting;
inline constexpr int kLivePolite = 1;
// EVENT_OBJECT_LIVEREGIONCHANGED (Windows 8 on; older systems ignore it),
// which the headers hide from a build that also runs on Windows 7.
inline constexpr DWORD kEventLiveRegionChanged = 0x8019;

const AnnotationCalls& SystemAnnotationCalls();
// Makes calls (nullptr: the system's) the table used from now on.
void UseAnnotationCalls(const AnnotationCalls* calls);
const AnnotationCalls& AnnotationCallsInUse();
