// What the Qt backend asks of an X11 window manager directly, where Qt has
// no call for it: the frame a window will get before it is mapped, so that
// a window is placed and centred by its outer rectangle from the first
// frame that is painted, and whether an X display is there at all.
//
// Each call opens a short connection of its own, so Qt's event queue never
// sees the replies. User-interface thread only.
#pragma once

#include <optional>
#include <string>

struct FrameExtents {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// The frame the window manager will draw around the unmapped top-level
// window `window` (an X window id), as it answers _NET_REQUEST_FRAME_EXTENTS
// within timeoutMs; all zero where no window manager runs (nothing will
// frame the window). Nothing where a manager runs that cannot tell, or does
// not answer in time.
std::optional<FrameExtents> RequestFrameExtents(unsigned long window, int timeoutMs);

// Whether the X display named by DISPLAY accepts a connection.
bool X11DisplayReachable();

// Whether the window has nowhere to appear: X11 (chosen, or no platform
// chosen and no Wayland session) without an X display that answers. Asked before Qt starts, so that
// the user reads the program's own message rather than Qt's plugin list.
bool DisplayMissing(const char* qpaPlatform, const char* waylandDisplay, const char* display,
                    bool x11Reachable);

// The Qt platform to force for this session, if any: a Wayland session lets
// no client place its own window, so where an X server is reachable
// (XWayland) the window runs through it, unless the user chose a platform.
std::optional<std::string> PlatformForSession(const char* qpaPlatform, const char* waylandDisplay,
                                              bool x11Reachable);
