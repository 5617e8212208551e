// The program entry on Qt: the application object's start-up, as the
// framework runs it. The Japanese translation of Qt's own texts is loaded so
// that the standard buttons of every box read as the rest of the window.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "AfxDialog.h"
#include "SettingsLocation.h"

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

  const QtMessageHandler previous = qInstallMessageHandler(NoDisplayHandler);
  QApplication qtApp(argc, argv);
  qInstallMessageHandler(previous);

  QTranslator translator;
  if (translator.load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&translator);
  }
  if (app->InitInstance()) return app->Run();
  return 0;
}
