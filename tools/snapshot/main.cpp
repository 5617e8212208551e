// zeta7-snapshot: renders the main window to a PNG file, for looking at the
// layout without a display (usage: --help).
//
// With --device the window connects to the unit on PATH (as COM1) and, with
// --read, reads its parameters before the picture is taken. Message boxes
// are answered OK and printed on standard error. The settings file is not
// written.
#include <QApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "CZeta7Dlg.h"
#include "MessageBoxService.h"
#include "SnapshotArgs.h"
#include "UserDirKit/UserDirKit.h"
#include "version.h"

int main(int argc, char** argv) {
  SnapshotArgs args;
  std::string error;
  if (!ParseSnapshotArgs(argc, argv, args, error)) {
    std::fprintf(stderr, "zeta7-snapshot: %s\n%s", error.c_str(), SnapshotUsage().c_str());
    return 2;
  }
  if (args.help) {
    std::printf("%s", SnapshotUsage().c_str());
    return 0;
  }
  if (args.version) {
    std::printf("zeta7-snapshot %s\n", ZETA7_VERSION_STRING);
    return 0;
  }

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

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
  if (!args.device.empty()) {
    dlg.SetComMap({{1, args.device}});
    dlg.findChild<QPushButton*>(QStringLiteral("IDC_BUTTON_CONNECT"))->click();
    if (args.read) dlg.findChild<QPushButton*>(QStringLiteral("IDC_BUTTON_READ"))->click();
  }
  QApplication::processEvents();
  const QPixmap picture = dlg.grab();
  // Through a temporary file: a failed write leaves no half picture behind.
  const char* output = args.output.c_str();
  QSaveFile file(QString::fromLocal8Bit(output));
  if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
    std::fprintf(stderr, "zeta7-snapshot: cannot write %s\n", output);
    return 1;
  }
  std::printf("%s: %dx%d\n", output, picture.width(), picture.height());
  return 0;
}
