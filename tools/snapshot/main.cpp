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
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "CZeta7Dlg.h"
#include "DialogDriver.h"
#include "MainDialogTemplate.h"
#include "UserDirKit/UserDirKit.h"

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

  // A private settings place, so the picture does not depend on (or change)
  // the user's own settings; with a device, COM1 leads to it.
  QTemporaryDir dir;
  const std::string program = dir.filePath(QStringLiteral("zeta7")).toStdString();
  if (device) std::ofstream(program + ".ini") << "[ports]\ncom1=" << device << "\n";
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
  if (device) {
    CDialogDriver driver(dlg);
    driver.Click(IDC_BUTTON_CONNECT);
    if (read) driver.Click(IDC_BUTTON_READ);
  }
  QApplication::processEvents();
  const QPixmap picture = static_cast<QWidget*>(dlg.GetSafeHwnd())->grab();
  if (!picture.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %dx%d\n", argv[1], picture.width(), picture.height());
  return 0;
}
