// zeta7-startup-probe MODE [FOLDER]: starts a window and prints "shown" on standard
// output when it is on screen, then quits. MODE "zeta7" builds the real main
// window, with FOLDER (else a fresh temporary one) as the user's application
// folder, so that the user's own settings stay untouched; MODE "template" builds the same
// template through the framework's plain CDialog, with its font and controls
// and none of the program's logic, which is what the window itself costs;
// MODE "bare" builds a plain Qt dialog with one label, as the floor any Qt
// dialog pays.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstring>

#include "CZeta7Dlg.h"
#include "DialogDriver.h"
#include "MainDialogTemplate.h"

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
  const char* mode = argc > 1 ? argv[1] : "zeta7";
  if (std::strcmp(mode, "template") == 0) {
    CDialog dialog(kMainDialog);
    dialog.Create();
    CRect window;
    dialog.GetWindowRect(&window);
    dialog.SetWindowPos(0, 0, window.Width(), window.Height(), SWP_SHOWWINDOW);
    static_cast<QWidget*>(dialog.GetSafeHwnd())->windowHandle()->installEventFilter(&probe);
    return app.exec();
  }
  if (std::strcmp(mode, "bare") == 0) {
    QDialog dialog;
    QLabel label(QStringLiteral("ZETA-7"), &dialog);
    dialog.show();
    dialog.windowHandle()->installEventFilter(&probe);
    return app.exec();
  }
  CBoxRecorder boxes;
  QTemporaryDir dir;
  const std::string program = dir.filePath(QStringLiteral("zeta7")).toStdString();
  CZeta7Dlg::Services services;
  services.pBoxes = &boxes;
  services.location.programPath = [program] { return std::optional<std::string>(program); };
  const std::string userFolder =
      argc > 2 ? std::string(argv[2]) : dir.filePath(QStringLiteral("user")).toStdString();
  services.location.getUserAppFolder = [userFolder](char* buffer, int size) {
    const int n = std::snprintf(buffer, static_cast<size_t>(size), "%s", userFolder.c_str());
    return n < size ? n : -1;
  };
  CZeta7Dlg dlg;
  dlg.SetServices(services);
  dlg.Create();
  static_cast<QWidget*>(dlg.GetSafeHwnd())->windowHandle()->installEventFilter(&probe);
  return app.exec();
}
