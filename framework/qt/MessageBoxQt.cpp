// Message boxes on Qt Widgets: a QMessageBox with the standard buttons,
// whose texts come from Qt's own Japanese translation.
#include <QApplication>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "AfxBackend.h"
#include "AfxQt.h"
#include "BackendQt.h"

using namespace afxqt;

bool AfxLoadToolkitTranslations() {
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* loaded = new QTranslator(qApp);
  if (!loaded->load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete loaded;
    return false;
  }
  QApplication::installTranslator(loaded);
  translator = loaded;
  return true;
}

namespace afxbackend {

int ShowMessageBox(const MessageBoxRequest& request) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (request.type & MB_ICONMASK) {
    case MB_ICONSTOP:
      icon = QMessageBox::Critical;
      break;
    case MB_ICONQUESTION:
      icon = QMessageBox::Question;
      break;
    case MB_ICONEXCLAMATION:
      icon = QMessageBox::Warning;
      break;
    case MB_ICONINFORMATION:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QWidget* owner =
      request.owner && request.owner->m_hWnd ? WidgetOf(request.owner->m_hWnd) : nullptr;
  QMessageBox box(icon, ToQString(request.caption), ToQString(request.text), QMessageBox::NoButton,
                  owner);
  box.setTextFormat(Qt::PlainText);
  if (!request.detail.empty()) {
    box.setInformativeText(ToQString(request.detail));
    // Shown as it is, like the text: it may quote what a unit sent.
    if (auto* detail = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
      detail->setTextFormat(Qt::PlainText);
    }
  }
  const UINT buttons = request.type & MB_TYPEMASK;
  switch (buttons) {
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
  if (!owner) {
    // Nothing of ours is in front to open over: the box comes in front
    // itself (modal from the start, as exec would make it).
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    box.raise();
    box.activateWindow();
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
      return buttons == MB_OK ? IDOK : IDCANCEL;
  }
}

}  // namespace afxbackend
