#include "CZeta7Dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "DialogUnits.h"
#include "MainDialogTemplate.h"
#include "MessageBoxService.h"
#include "ParamReply.h"
#include "SettingsKeys.h"
#include "iniacs.h"
#include "mainframe.xpm"

namespace {

constexpr int kReplyCap = 256;
constexpr const char* kTitleVersion = "1.02";
constexpr int kWritePauseMs = 10;

constexpr const char* kMsgQuit = "終了しますか？";
constexpr const char* kMsgOpenFailed = "COM%1がオープンできません。";
constexpr const char* kMsgNoComm = "ZETA-7と通信できません";
constexpr const char* kMsgBadComm = "ZETA-7との通信が不正です";
constexpr const char* kMsgVersionLine = "ファームウェアバージョン %1";
constexpr const char* kMsgBadData = "受信データが不正です";
constexpr const char* kMsgConfirmWrite = "パラメータをZETA-7に書き込みます";
constexpr const char* kMsgEnterParams = "パラメータを入力してください";
constexpr const char* kMsgOutOfRange = "値が有効範囲を超えています";
constexpr const char* kMsgWriteDone = "書き込み終了";
constexpr const char* kMsgWriteFailed = "書き込みに失敗しました";

constexpr const char* kSpeedEntries[] = {"38400bps", "19200bps", "9600bps", "4800bps"};
constexpr int kSpeeds[] = {38400, 19200, 9600, 4800};
constexpr int kComPortCount = 255;

struct FieldLimits {
  int min, max, maxChars;
};
constexpr FieldLimits kChannelLimits{7, 46, 3};
constexpr FieldLimits kIdLimits{0, 15, 3};
constexpr FieldLimits kRetryCountLimits{0, 10000, 6};
constexpr FieldLimits kRetryIntervalLimits{0, 32767, 6};

void ApplyLimits(CEditValue& field, const FieldLimits& limits) {
  field.m_nMin = limits.min;
  field.m_nMax = limits.max;
  field.m_nMaxChars = limits.maxChars;
}

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// Shows the wait cursor while an exchange blocks the window.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

bool IsEnterOrEscape(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
         key->key() == Qt::Key_Escape;
}

}  // namespace

CZeta7Dlg::CZeta7Dlg(QWidget* parent)
    : QDialog(parent),
      m_bInfiniteRetry(0),
      m_hIcon(QPixmap(idr_mainframe_xpm)),
      m_nComPort(1),
      m_nBaudIndex(0),
      m_location(SystemLocationServices()) {}

CZeta7Dlg::~CZeta7Dlg() {
  qApp->removeEventFilter(this);
  MessageBoxService::SetMainWindow(nullptr);
}

void CZeta7Dlg::SetLocationServices(LocationServices services) { m_location = std::move(services); }

int CZeta7Dlg::BaudRateForIndex(int index) {
  return index >= 0 && index < 4 ? kSpeeds[index] : kSpeeds[0];
}

void CZeta7Dlg::Create() {
  if (m_bCreated) return;
  m_bCreated = true;
  CreateFromTemplate();
  OnInitDialog();
}

int CZeta7Dlg::DoModal() {
  Create();
  return exec();
}

// The member a template control is bound to, or none for the window's own
// labels, group box and check box.
QWidget* CZeta7Dlg::MemberControl(int id) {
  switch (id) {
    case IDC_STATIC_VERSION:
      return &m_staticVersion;
    case IDC_EDIT_RETRY_INTERVAL:
      return &m_editRetryInterval;
    case IDC_EDIT_RETRY_COUNT:
      return &m_editRetryCount;
    case IDC_EDIT_ID:
      return &m_editId;
    case IDC_EDIT_CHANNEL:
      return &m_editChannel;
    case IDC_COMBO_COMPORT:
      return &m_comboComPort;
    case IDC_COMBO_BAUDRATE:
      return &m_comboBaudRate;
    case IDC_BUTTON_WRITE:
      return &m_btnWrite;
    case IDC_BUTTON_READ:
      return &m_btnRead;
    case IDC_BUTTON_DISCONNECT:
      return &m_btnDisconnect;
    case IDC_BUTTON_CONNECT:
      return &m_btnConnect;
    default:
      return nullptr;
  }
}

// Builds the window and its controls from the template. Controls with a
// member are the members themselves; the others belong to the window.
// Creation order is the tab order.
void CZeta7Dlg::CreateFromTemplate() {
  setObjectName(QStringLiteral("IDD_MAIN_DIALOG"));
  setWindowTitle(Text(kMainDialog.caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  setFont(DialogFont());
  const DialogUnits dlu(font());
  setFixedSize(dlu.X(kMainDialog.cx), dlu.Y(kMainDialog.cy));

  QWidget* previous = nullptr;
  for (const DialogItem& item : kMainDialogItems) {
    QWidget* control = MemberControl(item.id);
    if (control) {
      control->setParent(this);
    } else if (item.kind == ControlKind::kCheckBox) {
      control = m_pCheckInfiniteRetry = new QCheckBox(this);
    } else if (item.kind == ControlKind::kGroupBox) {
      control = new QGroupBox(this);
    } else {
      control = new QLabel(this);
    }
    const QString caption = Text(item.caption);
    QRect rect = dlu.Rect(item.x, item.y, item.w, item.h);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
      // The template height is that of the opened list; the closed box
      // takes the height of a line of text.
      combo->setMaxVisibleItems(std::max(1, dlu.Y(item.h) / combo->fontMetrics().height() - 1));
      rect.setHeight(dlu.Y(12) + 2);
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      button->setText(caption);
      // No default button: Enter presses only the focused button.
      button->setAutoDefault(false);
      button->setDefault(false);
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
      check->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      group->setTitle(caption);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(caption);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      if (item.kind == ControlKind::kSunkenLabel) {
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      }
    }
    if (item.name[0] != '\0') control->setObjectName(QString::fromLatin1(item.name));
    control->setGeometry(rect);
    if (control->focusPolicy() != Qt::NoFocus) {
      if (previous) setTabOrder(previous, control);
      previous = control;
    }
  }
  // Group boxes are painted below the controls they surround.
  for (QGroupBox* group : findChildren<QGroupBox*>()) group->lower();
}

void CZeta7Dlg::BuildMessageMap() {
  connect(&m_btnConnect, &QPushButton::clicked, this, &CZeta7Dlg::OnConnect);
  connect(&m_btnDisconnect, &QPushButton::clicked, this, &CZeta7Dlg::OnDisconnect);
  connect(&m_btnRead, &QPushButton::clicked, this, &CZeta7Dlg::OnReadParams);
  connect(&m_btnWrite, &QPushButton::clicked, this, &CZeta7Dlg::OnWriteParams);
  // activated is emitted only by the user's choice, not by setCurrentIndex.
  connect(&m_comboBaudRate, qOverload<int>(&QComboBox::activated), this,
          &CZeta7Dlg::OnSelchangeBaudRate);
  connect(&m_comboComPort, qOverload<int>(&QComboBox::activated), this,
          &CZeta7Dlg::OnSelchangeComPort);
  connect(m_pCheckInfiniteRetry, &QCheckBox::clicked, this, &CZeta7Dlg::OnInfiniteRetry);
}

void CZeta7Dlg::DoDataExchange(bool saveAndValidate) {
  if (saveAndValidate) {
    m_bInfiniteRetry = m_pCheckInfiniteRetry->isChecked() ? 1 : 0;
  } else {
    m_pCheckInfiniteRetry->setChecked(m_bInfiniteRetry != 0);
  }
}

bool CZeta7Dlg::UpdateData(bool saveAndValidate) {
  DoDataExchange(saveAndValidate);
  return true;
}

bool CZeta7Dlg::OnInitDialog() {
  UpdateData(false);
  BuildMessageMap();
  qApp->installEventFilter(this);
  MessageBoxService::SetMainWindow(this);

  setWindowIcon(m_hIcon);

  LoadSettings();

  // The version line runs along the whole bottom edge.
  m_staticVersion.setText(QString());
  const int lineHeight = m_staticVersion.height();
  m_staticVersion.setGeometry(0, height() - lineHeight, width(), lineHeight);

  for (int port = 1; port <= kComPortCount; ++port) {
    m_comboComPort.addItem(QStringLiteral("COM%1").arg(port));
  }
  const int portIndex = m_nComPort - 1;
  m_comboComPort.setCurrentIndex(portIndex >= 0 && portIndex < kComPortCount ? portIndex : -1);

  for (const char* entry : kSpeedEntries) m_comboBaudRate.addItem(Text(entry));
  m_comboBaudRate.setCurrentIndex(m_nBaudIndex >= 0 && m_nBaudIndex < 4 ? m_nBaudIndex : -1);

  ApplyLimits(m_editChannel, kChannelLimits);
  ApplyLimits(m_editId, kIdLimits);
  ApplyLimits(m_editRetryCount, kRetryCountLimits);
  ApplyLimits(m_editRetryInterval, kRetryIntervalLimits);

  m_btnDisconnect.setEnabled(false);
  m_btnRead.setEnabled(false);
  m_btnWrite.setEnabled(false);

  setWindowTitle(windowTitle() + QStringLiteral(" ") + QString::fromLatin1(kTitleVersion));

  m_comboComPort.setFocus(Qt::OtherFocusReason);
  return true;
}

// ---- Key filter -------------------------------------------------------------

bool CZeta7Dlg::eventFilter(QObject* watched, QEvent* event) {
  if (PreTranslateMessage(watched, event)) return true;
  return QDialog::eventFilter(watched, event);
}

// True for this window's own controls and the opened lists of its
// drop-downs; message boxes and other windows keep their keys.
bool CZeta7Dlg::IsOwnKeyTarget(QObject* target) const {
  if (!target->isWidgetType()) return false;
  const QWidget* widget = static_cast<QWidget*>(target);
  const QWidget* window = widget->window();
  if (window == this) return true;
  if (window->windowType() == Qt::Popup) {
    const QWidget* owner = window->parentWidget();
    return owner == &m_comboComPort || owner == &m_comboBaudRate;
  }
  return false;
}

// Enter presses the focused Connect, Disconnect, Read or Write button; every
// other Enter and every Escape is swallowed, so neither ends the dialog nor
// closes an opened list. Only the close request ends the dialog.
bool CZeta7Dlg::PreTranslateMessage(QObject* target, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
    return false;
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  if (!IsEnterOrEscape(key) || (key->modifiers() & Qt::AltModifier)) return false;
  if (!IsOwnKeyTarget(target)) return false;

  if (event->type() == QEvent::KeyPress && key->key() != Qt::Key_Escape &&
      (target == &m_btnConnect || target == &m_btnDisconnect || target == &m_btnWrite ||
       target == &m_btnRead)) {
    auto* button = static_cast<QPushButton*>(target);
    if (button->isEnabled()) button->click();
  }
  return true;
}

// ---- Close request --------------------------------------------------------

void CZeta7Dlg::closeEvent(QCloseEvent* event) {
  if (MessageBoxService::AppMessageBox(Text(kMsgQuit), MB_OKCANCEL) != IDOK) {
    event->ignore();
    return;
  }
  SaveSettings();
  QDialog::closeEvent(event);
}

// ---- Exchange -------------------------------------------------------------

int CZeta7Dlg::Transact(const char* cmd, char* reply, int cap) {
  BusyCursor busy;
  return TransactOn(m_port, m_clock, cmd, reply, cap);
}

// ---- Connection workflow ----------------------------------------------------

void CZeta7Dlg::OnConnect() {
  m_btnConnect.setEnabled(false);
  m_comboComPort.setEnabled(false);
  m_comboBaudRate.setEnabled(false);

  const int baud = BaudRateForIndex(m_nBaudIndex);
  if (!m_port.Reopen(m_nComPort, baud, 8, 0, 0)) {
    const QByteArray message = Text(kMsgOpenFailed).arg(m_nComPort).toUtf8();
    ResetToDisconnected(message.constData());
    return;
  }
  m_port.SetLineControl(1, 0);
  m_port.SetRts(1);

  m_btnDisconnect.setEnabled(true);
  m_btnRead.setEnabled(true);
  m_btnWrite.setEnabled(true);

  char reply[kReplyCap];
  Transact("", reply, kReplyCap);
  if (std::strcmp(reply, "ZETA7>") != 0) {
    ResetToDisconnected(kMsgNoComm);
    return;
  }
  Transact("V", reply, kReplyCap);
  if (reply[0] != 'V') {
    ResetToDisconnected(kMsgBadComm);
    return;
  }
  // The unit's text is ASCII; anything else is shown byte for byte.
  m_staticVersion.setText(Text(kMsgVersionLine).arg(QString::fromLatin1(reply)));
  m_btnDisconnect.setFocus(Qt::OtherFocusReason);
}

void CZeta7Dlg::OnDisconnect() {
  m_port.Close();
  ResetToDisconnected(nullptr);
  m_btnConnect.setFocus(Qt::OtherFocusReason);
}

void CZeta7Dlg::ResetToDisconnected(const char* message) {
  if (message) MessageBoxService::AppMessageBox(Text(message), MB_OK | MB_ICONSTOP);
  m_btnDisconnect.setEnabled(false);
  m_btnRead.setEnabled(false);
  m_btnWrite.setEnabled(false);
  m_comboComPort.setEnabled(true);
  m_comboBaudRate.setEnabled(true);
  m_btnConnect.setEnabled(true);
}

void CZeta7Dlg::OnSelchangeComPort() { m_nComPort = m_comboComPort.currentIndex() + 1; }

void CZeta7Dlg::OnSelchangeBaudRate() { m_nBaudIndex = m_comboBaudRate.currentIndex(); }

// ---- Parameter workflow -----------------------------------------------------

void CZeta7Dlg::OnInfiniteRetry() {
  UpdateData(true);
  m_editRetryCount.setEnabled(m_bInfiniteRetry == 0);
}

void CZeta7Dlg::OnReadParams() {
  char reply[kReplyCap];
  const int count = Transact("R", reply, kReplyCap);
  if (count == 0) {
    ResetToDisconnected(kMsgNoComm);
    return;
  }
  UnitParams params{};
  if (ParseReadReply(reply, count, &params) != ReadReplyResult::kOk) {
    ResetToDisconnected(kMsgBadData);
    return;
  }
  m_editChannel.setText(QString::number(params.channel));
  m_editId.setText(QString::number(params.id));
  if (params.retryCount == -1) {
    m_bInfiniteRetry = 1;
  } else {
    m_bInfiniteRetry = 0;
    m_editRetryCount.setText(QString::number(params.retryCount));
  }
  UpdateData(false);
  OnInfiniteRetry();
  m_editRetryInterval.setText(QString::number(params.retryInterval));
}

void CZeta7Dlg::OnWriteParams() {
  if (MessageBoxService::AppMessageBox(Text(kMsgConfirmWrite), MB_OKCANCEL) != IDOK) return;

  UnitParams params{};
  int result = m_editChannel.GetValue(&params.channel);
  if (result == 0) result = m_editId.GetValue(&params.id);
  if (result == 0) {
    if (m_bInfiniteRetry) {
      params.retryCount = -1;
    } else {
      result = m_editRetryCount.GetValue(&params.retryCount);
    }
  }
  if (result == 0) result = m_editRetryInterval.GetValue(&params.retryInterval);
  if (result != 0) {
    MessageBoxService::AppMessageBox(Text(result == -2 ? kMsgEnterParams : kMsgOutOfRange),
                                     MB_OK | MB_ICONSTOP);
    return;
  }

  const std::string command = FormatWriteCommand(params);
  char reply[kReplyCap];
  if (Transact(command.c_str(), reply, kReplyCap) == 0) {
    ResetToDisconnected(kMsgNoComm);
    return;
  }
  m_clock.Sleep(kWritePauseMs);
  if (std::strcmp(reply, "OK") == 0) {
    MessageBoxService::AppMessageBox(Text(kMsgWriteDone), MB_OK);
  } else {
    MessageBoxService::AppMessageBox(Text(kMsgWriteFailed), MB_OK | MB_ICONSTOP);
  }
}

// ---- Settings -----------------------------------------------------------------

void CZeta7Dlg::LoadSettings() {
  LocationServices services = m_location;
  services.showMessage = [this](const std::string& text) {
    MessageBoxService::WindowMessageBox(this, QString::fromStdString(text), MB_OK);
  };
  const std::optional<std::string> path = LocateSettingsFile(services);
  if (!path) return;
  m_strIniPath = *path;

  iniacs ini;
  ini.SetPath(m_strIniPath);
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect window = frameGeometry();
  const int left =
      PlacementFromStored(ini.GetInt(kSectionPosition, kKeyLeft), work.width(), window.width());
  const int top =
      PlacementFromStored(ini.GetInt(kSectionPosition, kKeyTop), work.height(), window.height());
  move(left, top);
  show();
  raise();

  m_nComPort = ComPortFromStored(ini.GetInt(kSectionCom, kKeyCom));
  m_nBaudIndex = BaudIndexFromStored(ini.GetInt(kSectionCom, kKeyBps));
  m_port.SetComMap(ReadComMap(ini));

  UpdateData(false);
}

// The outer top-left of the restored window, in screen coordinates, also
// while the window is minimised.
QPoint CZeta7Dlg::NormalFrameTopLeft() const {
  if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) return pos();
  const QPoint frameOffset = geometry().topLeft() - frameGeometry().topLeft();
  return normalGeometry().topLeft() - frameOffset;
}

void CZeta7Dlg::SaveSettings() {
  // Without a settings path (the program's own path was unavailable) there is
  // nowhere sensible to write.
  if (m_strIniPath.empty()) return;
  iniacs ini;
  ini.SetPath(m_strIniPath);
  const QPoint topLeft = NormalFrameTopLeft();
  ini.WriteInt(kSectionPosition, kKeyLeft, topLeft.x());
  ini.WriteInt(kSectionPosition, kKeyTop, topLeft.y());
  ini.WriteInt(kSectionCom, kKeyCom, m_nComPort);
  ini.WriteInt(kSectionCom, kKeyBps, m_nBaudIndex);
}
