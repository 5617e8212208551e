// Services a dialog is given: the clock its waits come from, the desktop it
// is placed on, and the message boxes it shows. Each has a real
// implementation (the system's, through the backend) and can be replaced,
// so that tests run a dialog on virtual time, on a made-up desktop, and
// with every box answered and recorded instead of shown.
//
// Objects are owned by whoever creates them and must outlive the dialogs
// that use them. User-interface thread only.
#pragma once

#include <string>

#include "AfxWin.h"

class CClock {
 public:
  virtual ~CClock() = default;
  // Blocks the calling thread for ms milliseconds.
  virtual void Sleep(int ms);
};

class CDesktop {
 public:
  virtual ~CDesktop() = default;
  // The part of the primary display that task bars leave free, in screen
  // coordinates; empty when there is no display.
  virtual CRect GetWorkArea() const;
  // Where the primary display's top-left corner lies in screen coordinates
  // ((0, 0) on Windows).
  virtual CPoint GetScreenOrigin() const;
};

// One request for a box, as shown (or as a test sees it).
struct MessageBoxRequest {
  CWnd* owner;
  std::string caption;
  std::string text;    // UTF-8, shown as plain text
  UINT type;           // buttons | icon
  std::string detail;  // shown below the text, smaller; may be empty
};

class CMessageBoxes {
 public:
  virtual ~CMessageBoxes() = default;

  // The application box: captioned with the application name; when the
  // caller names no icon, OK and OK/Cancel boxes get the exclamation icon,
  // Yes/No sets the question icon. Returns the answer (IDOK, IDCANCEL ...);
  // closing a box that has Cancel without a button answers IDCANCEL.
  int AppMessageBox(CWnd* owner, const std::string& text, UINT type = MB_OK,
                    const std::string& detail = {});
  // A window's own box: the given type as it is, no icon added.
  int WindowMessageBox(CWnd* owner, const std::string& text, UINT type = MB_OK,
                       const std::string& detail = {});

  // The icon rule of the application box.
  static UINT WithDefaultIcon(UINT type);

 protected:
  // Shows the box modally and returns the answer; the real one is the
  // backend's, without an owner that is not shown and then in front of
  // every other window.
  virtual int Show(const MessageBoxRequest& request);
};

CClock& AfxSystemClock();
CDesktop& AfxSystemDesktop();
CMessageBoxes& AfxSystemMessageBoxes();
