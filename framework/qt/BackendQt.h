// What the files of the Qt backend share among themselves: the handle
// conversions, the dialog window class, and the hooks one file offers
// another. Nothing outside framework/qt includes it.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "AfxDialog.h"

class QInputMethodEvent;
class QKeyEvent;
class QLabel;

namespace afxqt {

inline constexpr const char* kOwnerProperty = "afxOwner";
inline constexpr const char* kIdProperty = "afxId";

inline QWidget* WidgetOf(HWND hWnd) { return static_cast<QWidget*>(hWnd); }
inline HWND HandleOf(QWidget* widget) { return static_cast<void*>(widget); }
inline QIcon* IconOf(HICON icon) { return static_cast<QIcon*>(icon); }

inline QString ToQString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

inline CWnd* OwnerOfWidget(QWidget* widget) {
  return static_cast<CWnd*>(widget->property(kOwnerProperty).value<void*>());
}

// The window a dialog lives in (DialogWindowQt.cpp); a close request goes to
// the dialog's message map as WM_CLOSE.
class AfxQtDialog : public QDialog {
 public:
  AfxQtDialog(CDialog* owner, QWidget* parent) : QDialog(parent), m_pOwner(owner) {}

  CDialog* Owner() const { return m_pOwner; }
  std::vector<QWidget*> m_controls;  // template order

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  CDialog* m_pOwner;
};

// ModalLoopQt.cpp: the application-wide filter that routes keys to the
// dialogs' key filters; installed with the first dialog.
void InstallRouter();

// EditInputQt.cpp: a key press or an input-method commit aimed at an edit,
// filtered through the edit's object; true when it was consumed.
bool FilterEditKeyPress(QWidget* widget, QKeyEvent* event);
bool FilterEditInputMethod(QWidget* widget, QInputMethodEvent* event);
// True while a filtered commit is being sent on to the edit, whose pieces
// must not be filtered again.
bool IsInsertingFilteredInput();

// DialogWindowQt.cpp: the label that shows a group box's caption, or
// nullptr for any other widget.
QLabel* GroupCaption(QWidget* widget);

// AccessibilityQt.cpp: makes a label the dialog's status line, which screen
// readers find as such and hear change.
void MarkStatusLine(QLabel* label);

}  // namespace afxqt
