// The program entry on Qt: the application object's start-up, as the
// framework runs it. The Japanese translation of Qt's own texts is loaded so
// that the standard buttons of every box read as the rest of the window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "AfxDialog.h"
#include "AfxQt.h"
#include "AfxServices.h"
#include "CliParser.h"
#include "SettingsLocation.h"
#include "WindowFrameX11.h"
#include "version.h"

namespace {

std::string g_programName;

// Qt gives up with a fatal message when it cannot reach a display; say so in
// plain words and end with 1 instead of aborting.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return;
  }
  std::fprintf(stderr, "%s: ディスプレイに接続できません。\n%s\n", g_programName.c_str(),
               message.toLocal8Bit().constData());
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  const std::optional<std::string> path = SystemLocationServices().programPath();
  AfxInitAppName(app, path.value_or(std::string()));
  g_programName = app->m_strAppName;

  // The only options are the ones that tell about the program; everything
  // else is the toolkit's.
  static const CliProgram options{app->m_strAppName.c_str(),
                                  "[--help | --version]",
                                  "",
                                  "",
                                  {},
                                  {{0, "help", 'h', CliArg::kFlag, nullptr, "*", "this text"},
                                   {1, "version", 0, CliArg::kFlag, nullptr, "*", "the version"}},
                                  true};
  CliParsed parsed;
  std::string error;
  CliParse(options, std::vector<std::string>(argv + 1, argv + argc), &parsed, &error);
  for (const CliArgument& a : parsed.options) {
    if (a.option->id == 0 && a.On()) {
      const std::string command = argv[0];
      std::printf("使い方: %s [--help | --version]\n\n%s",
                  command.substr(command.rfind('/') + 1).c_str(), app->m_strHelpText.c_str());
      return 0;
    }
    if (a.option->id == 1 && a.On()) {
      std::printf("%s %s\n", g_programName.c_str(), ZETA7_VERSION_STRING);
      return 0;
    }
  }

  // Under Wayland the window could not be put back where it was; XWayland
  // lets it be placed as on any other desktop.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* display = std::getenv("DISPLAY");
  if (DisplayMissing(platform, wayland, display, display && *display && X11DisplayReachable())) {
    std::fprintf(stderr, "%s: ディスプレイに接続できません。\n%s\n", g_programName.c_str(),
                 display && *display
                     ? ("DISPLAY=" + std::string(display) + " が応答しません").c_str()
                     : "DISPLAY も WAYLAND_DISPLAY もありません");
    return 1;
  }
  const bool askX11 = !(platform && *platform) && wayland && *wayland;
  if (const auto forced = PlatformForSession(platform, wayland, askX11 && X11DisplayReachable())) {
    setenv("QT_QPA_PLATFORM", forced->c_str(), 1);
  }

  const QtMessageHandler previous = qInstallMessageHandler(NoDisplayHandler);
  QApplication qtApp(argc, argv);
  qInstallMessageHandler(previous);

  AfxLoadToolkitTranslations();
  return AfxRunApplication(app, AfxSystemMessageBoxes());
}
