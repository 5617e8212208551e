// The handle types, message numbers and constants that the dialog framework
// and the program use, with the values the Windows headers give them.
//
// This file serves every backend that is not Windows; the Windows backend has
// its own AfxPlatform.h that takes these names from <windows.h> itself, so
// that code written against them reads and behaves the same on both.
#pragma once

#include <cstdint>

using BOOL = int;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using INT_PTR = std::intptr_t;

// Opaque toolkit objects: a window or control, an icon, a paint context.
using HWND = void*;
using HICON = void*;
using HDC = void*;

#define TRUE 1
#define FALSE 0

// Message box buttons, icons and answers.
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDYES 6
#define IDNO 7

// Window messages the framework routes.
#define WM_CLOSE 0x0010u
#define WM_PAINT 0x000Fu
#define WM_QUERYDRAGICON 0x0037u
#define WM_ICONERASEBKGND 0x0027u
#define WM_KEYDOWN 0x0100u
#define WM_CHAR 0x0102u
#define WM_SYSKEYDOWN 0x0104u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u

// Notifications carried by WM_COMMAND.
#define BN_CLICKED 0u
#define CBN_SELCHANGE 1u

// Virtual keys.
#define VK_BACK 0x08u
#define VK_TAB 0x09u
#define VK_RETURN 0x0Du
#define VK_ESCAPE 0x1Bu
#define VK_SPACE 0x20u
#define VK_DELETE 0x2Eu

// Check states, window icons, system metrics, placement flags.
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define ICON_SMALL 0
#define ICON_BIG 1
#define SM_CXICON 11
#define SM_CYICON 12
#define SWP_SHOWWINDOW 0x0040u
#define CB_ERR (-1)

#define LOWORD(l) (static_cast<unsigned short>(static_cast<std::uintptr_t>(l) & 0xFFFFu))
#define HIWORD(l) (static_cast<unsigned short>((static_cast<std::uintptr_t>(l) >> 16) & 0xFFFFu))
#define MAKEWPARAM(lo, hi)                                           \
  (static_cast<WPARAM>((static_cast<std::uintptr_t>(lo) & 0xFFFFu) | \
                       ((static_cast<std::uintptr_t>(hi) & 0xFFFFu) << 16)))

struct RECT {
  int left;
  int top;
  int right;
  int bottom;
};

struct POINT {
  int x;
  int y;
};

// A queued message as the key filter sees it.
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
