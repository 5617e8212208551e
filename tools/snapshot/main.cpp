// zeta7-snapshot: renders the main window to a PNG file, for looking at the
// layout without a display (usage: --help).
//
// With --device the window connects to the unit on PATH (as COM1) and, with
// --read, reads its parameters before the picture is taken. Message boxes
// are answered OK and printed on standard error. The settings file is not
// written.
#include <QApplication>
#include <QPixmap>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "CZeta7Dlg.h"
#include "DialogDriver.h"
#include "MainDialogTemplate.h"
#include "SnapshotArgs.h"
#include "version.h"

namespace {

// Answers every box with OK and prints it.
class PrintedBoxes : public CMessageBoxes {
 protected:
  int Show(const MessageBoxRequest& request) override {
    std::fprintf(stderr, "box: %s\n", request.text.c_str());
    return IDOK;
  }
};

}  // namespace

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

  // A private settings place, so the picture does not depend on (or change)
  // the user's own settings; with a device, COM1 leads to it.
  QTemporaryDir dir;
  const std::string program = dir.filePath(QStringLiteral("zeta7")).toStdString();
  if (!args.device.empty()) {
    std::ofstream(program + ".ini") << "[ports]\ncom1=" << args.device << "\n";
  }
  PrintedBoxes boxes;
  CZeta7Dlg::Services services;
  services.pBoxes = &boxes;
  services.location.programPath = [program] { return std::optional<std::string>(program); };
  const std::string userFolder = dir.filePath(QStringLiteral("user")).toStdString();
  services.location.getUserAppFolder = [userFolder](char* buffer, int size) {
    if (static_cast<int>(userFolder.size()) >= size) return -1;
    std::memcpy(buffer, userFolder.c_str(), userFolder.size() + 1);
    return static_cast<int>(userFolder.size());
  };

  CZeta7Dlg dlg;
  dlg.SetServices(services);
  dlg.Create();
  if (!args.device.empty()) {
    CDialogDriver driver(dlg);
    driver.Click(IDC_BUTTON_CONNECT);
    if (args.read) driver.Click(IDC_BUTTON_READ);
  }
  QApplication::processEvents();
  const QPixmap picture = static_cast<QWidget*>(dlg.GetSafeHwnd())->grab();
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
