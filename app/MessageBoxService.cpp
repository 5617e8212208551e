#include "MessageBoxService.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

QPointer<QWidget> g_mainWindow;
MessageBoxService::Interceptor g_interceptor;

QMessageBox::Icon IconOf(unsigned type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONSTOP:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int Show(const MessageBoxRequest& request) {
  if (g_interceptor) return g_interceptor(request);

  QMessageBox box(IconOf(request.type), request.caption, request.text, QMessageBox::NoButton,
                  request.owner);
  switch (request.type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case MB_YESNOCANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      // Escape and the title-bar close answer Cancel.
      return (request.type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  }
}

// The icon the application box adds when the caller gives none.
unsigned WithDefaultIcon(unsigned type) {
  if (type & MB_ICONMASK) return type;
  switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
      return type | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
      return type | MB_ICONQUESTION;
    default:
      return type;
  }
}

}  // namespace

int MessageBoxService::AppMessageBox(const QString& text, unsigned type) {
  return Show({g_mainWindow.data(), ApplicationName(), text, WithDefaultIcon(type)});
}

int MessageBoxService::WindowMessageBox(QWidget* owner, const QString& text, unsigned type) {
  return Show({owner, ApplicationName(), text, type});
}

void MessageBoxService::SetMainWindow(QWidget* window) { g_mainWindow = window; }

void MessageBoxService::SetInterceptor(Interceptor interceptor) {
  g_interceptor = std::move(interceptor);
}

QString ApplicationName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}
