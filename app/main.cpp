#include <QApplication>

#include "CZeta7App.h"
#include "version.h"

int main(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(ZETA7_VERSION_STRING));
  CZeta7App theApp;
  theApp.InitInstance();
  return 0;
}
