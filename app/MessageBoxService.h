// The one way the program shows a message box.
//
// Two kinds exist: the application box, captioned with the application name,
// which adds the exclamation icon to OK and OK/Cancel boxes (the question icon
// to Yes/No sets) when the caller names none; and a dialog's own plain box
// for the settings-location messages, which adds nothing. Both are modal over
// the main window.
//
// Tests replace the real box with an interceptor that sees every request and
// answers it; nothing reaches the screen then. UI thread only.
#pragma once

#include <QString>
#include <functional>

class QWidget;

// Button sets, icons and answers, with the values the Windows message box
// uses, so calls read the same on every platform.
enum : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNOCANCEL = 0x03,
  MB_YESNO = 0x04,
  MB_TYPEMASK = 0x0F,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
  QWidget* owner;
  QString caption;
  QString text;
  unsigned type;  // buttons | icon, after the icon rule has been applied
};

class MessageBoxService {
 public:
  using Interceptor = std::function<int(const MessageBoxRequest&)>;

  // Application box: caption = application name; icon rule applied.
  static int AppMessageBox(const QString& text, unsigned type = MB_OK);
  // A window's own box: the given type as it is, no icon added.
  static int WindowMessageBox(QWidget* owner, const QString& text, unsigned type = MB_OK);

  // The owner of application boxes (the main window), or none.
  static void SetMainWindow(QWidget* window);
  // Replaces the real box; an empty interceptor restores it.
  static void SetInterceptor(Interceptor interceptor);
};

// The program file's name without folder and last extension.
QString ApplicationName();
