// CZeta7Dlg: the main window.
//
// One fixed-size dialog built from the template in res/: the COM port and
// speed lists, Connect and Disconnect, the four parameter fields with the
// infinite-retry box, Read and Write, and the firmware version line. It owns
// every control, the serial port and the settings path for its whole life.
//
// Being connected is nothing but which of the six connection controls are
// enabled; every exchange with the unit runs synchronously in the handler that
// asks for it, on the UI thread, with the busy cursor shown meanwhile.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "CComPort.h"
#include "CEditValue.h"
#include "SettingsLocation.h"
#include "Transact.h"

class CZeta7Dlg : public QDialog {
  Q_OBJECT
 public:
  explicit CZeta7Dlg(QWidget* parent = nullptr);
  ~CZeta7Dlg() override;

  // Creates the controls from the template and initialises the dialog; the
  // window is shown by the settings load. DoModal does this and then runs
  // the dialog until a confirmed close.
  void Create();
  int DoModal();

  // Replaces where the settings file is looked for (tests, other platforms);
  // takes effect at Create.
  void SetLocationServices(LocationServices services);
  // Replaces where COM numbers lead, as a [ports] section would.
  void SetComMap(ComMap map) { m_port.SetComMap(std::move(map)); }

  const std::string& IniPath() const { return m_strIniPath; }
  int ComPort() const { return m_nComPort; }
  int BaudIndex() const { return m_nBaudIndex; }

  // Line speed for a speed-list index; any other index means 38400.
  static int BaudRateForIndex(int index);

 protected:
  void DoDataExchange(bool saveAndValidate);
  bool UpdateData(bool saveAndValidate);
  bool PreTranslateMessage(QObject* target, QEvent* event);
  bool OnInitDialog();
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateFromTemplate();
  QWidget* MemberControl(int id);
  void BuildMessageMap();

  // Connection workflow.
  void OnConnect();
  void OnDisconnect();
  void OnSelchangeComPort();
  void OnSelchangeBaudRate();
  void ResetToDisconnected(const char* message);

  // Parameter workflow.
  void OnInfiniteRetry();
  void OnReadParams();
  void OnWriteParams();

  void LoadSettings();
  void SaveSettings();
  QPoint NormalFrameTopLeft() const;

  int Transact(const char* cmd, char* reply, int cap);
  bool IsOwnKeyTarget(QObject* target) const;

  // Declared in the order the window's controls are bound; destroyed in
  // reverse, the port first.
  QLabel m_staticVersion;
  CEditValue m_editRetryInterval;
  CEditValue m_editRetryCount;
  CEditValue m_editId;
  CEditValue m_editChannel;
  QComboBox m_comboComPort;
  QComboBox m_comboBaudRate;
  QPushButton m_btnWrite;
  QPushButton m_btnRead;
  QPushButton m_btnDisconnect;
  QPushButton m_btnConnect;
  int m_bInfiniteRetry;
  QIcon m_hIcon;
  std::string m_strIniPath;
  int m_nComPort;
  int m_nBaudIndex;
  CComPort m_port;

  QCheckBox* m_pCheckInfiniteRetry = nullptr;  // template control, owned by the window
  LocationServices m_location;
  SystemClock m_clock;
  bool m_bCreated = false;
};
