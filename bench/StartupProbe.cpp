// zeta7-startup-probe MODE: starts a window and prints "shown" on standard
// output when it is on screen, then quits. MODE "zeta7" builds the real main
// window (with a private settings place); MODE "bare" builds a plain dialog
// with one label, as the floor any Qt dialog pays.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>

#include "CZeta7Dlg.h"
#include "MessageBoxService.h"
#include "UserDirKit/UserDirKit.h"

namespace {

// Reports the first show and ends the event loop.
class ShownProbe : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && !m_bDone) {
      m_bDone = true;
      std::puts("shown");
      std::fflush(stdout);
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool m_bDone = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ShownProbe probe;
  const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
  if (bare) {
    QDialog dialog;
    QLabel label(QStringLiteral("ZETA-7"), &dialog);
    dialog.show();
    dialog.windowHandle()->installEventFilter(&probe);
    return app.exec();
  }
  MessageBoxService::SetInterceptor(
      [](const MessageBoxRequest&) { return static_cast<int>(IDOK); });
  QTemporaryDir dir;
  const std::string program = dir.filePath(QStringLiteral("zeta7")).toStdString();
  LocationServices services;
  services.programPath = [program] { return std::optional<std::string>(program); };
  services.fileExists = udk_FileExists;
  services.getUserAppFolder = udk_GetUserAppFolder;
  services.makeFolder = udk_MakeFolder;
  CZeta7Dlg dlg;
  dlg.SetLocationServices(services);
  dlg.Create();
  dlg.windowHandle()->installEventFilter(&probe);
  return app.exec();
}
