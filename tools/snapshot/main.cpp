// zeta7-snapshot: renders the main window to a PNG file, for looking at the
// layout without a display.
//
//   zeta7-snapshot OUT.png [--device PATH [--read]]
//
// With --device the window connects to the unit on PATH (as COM1) and, with
// --read, reads its parameters before the picture is taken. Message boxes
// are answered OK and printed on standard error. The settings file is not
// written.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "CZeta7Dlg.h"
#include "MessageBoxService.h"
#include "UserDirKit/UserDirKit.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: zeta7-snapshot OUT.png [--device PATH [--read]]\n");
    return 2;
  }
  const char* device = nullptr;
  bool read = false;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--device") == 0 && i + 1 < argc) {
      device = argv[++i];
    } else if (std::strcmp(argv[i], "--read") == 0) {
      read = true;
    }
  }

  MessageBoxService::SetInterceptor([](const MessageBoxRequest& request) {
    std::fprintf(stderr, "box: %s\n", request.text.toUtf8().constData());
    return static_cast<int>(IDOK);
  });

  // A private settings place, so the picture does not depend on (or change)
  // the user's own settings.
  QTemporaryDir dir;
  const std::string program = dir.filePath(QStringLiteral("zeta7")).toStdString();
  LocationServices services;
  services.programPath = [program] { return std::optional<std::string>(program); };
  services.fileExists = udk_FileExists;
  const std::string userFolder = dir.filePath(QStringLiteral("user")).toStdString();
  services.getUserAppFolder = [userFolder](char* buffer, int size) {
    if (static_cast<int>(userFolder.size()) >= size) return -1;
    std::memcpy(buffer, userFolder.c_str(), userFolder.size() + 1);
    return static_cast<int>(userFolder.size());
  };
  services.makeFolder = udk_MakeFolder;

  CZeta7Dlg dlg;
  dlg.SetLocationServices(services);
  dlg.Create();
  if (device) {
    dlg.SetComMap({{1, device}});
    dlg.findChild<QPushButton*>(QStringLiteral("IDC_BUTTON_CONNECT"))->click();
    if (read) dlg.findChild<QPushButton*>(QStringLiteral("IDC_BUTTON_READ"))->click();
  }
  QApplication::processEvents();
  const QPixmap picture = dlg.grab();
  if (!picture.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %dx%d\n", argv[1], picture.width(), picture.height());
  return 0;
}
