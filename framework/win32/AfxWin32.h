// What the Win32 backend of the dialog framework offers beyond AfxBackend.h,
// for the test driver: the modal loop's handling of one queued message, so
// that synthetic input travels the same road as the user's. User-interface
// thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "AfxWin.h"
#include "DialogTemplate.h"

// Handles one message as the modal loop does: the key filter of the dialog
// it is aimed at first, then (unless that consumed it) translation and
// dispatch.
void AfxWin32HandleQueued(MSG* msg);

// Handles every message waiting in the thread's queue in that way, and
// returns when the queue is empty.
void AfxWin32DrainQueue();

// A rectangle in the work-area coordinates of a window placement
// (rcNormalPosition) in screen coordinates, given the monitor's work area
// and its whole rectangle.
CRect AfxWin32WorkAreaToScreen(const RECT& rect, const RECT& workArea, const RECT& monitor);
