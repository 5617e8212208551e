// CZeta7Dlg: the main window.
//
// One fixed-size dialog built from the template IDD_MAIN_DIALOG: the COM
// port and speed lists, Connect and Disconnect, the four parameter fields
// with the infinite-retry box, Read and Write, and the firmware version
// line. It owns every control object, the serial port and the settings path
// for its whole life; the port, declared last, is destroyed first.
//
// Being connected is nothing but which of the six connection controls are
// enabled; every exchange with the unit runs synchronously in the handler
// that asks for it, on the user-interface thread, with the busy cursor shown
// meanwhile. The clock the exchange waits on, the desktop the window is
// placed on, the message boxes and the settings location are services the
// dialog is given (the system's by default), so that tests can replace them.
#pragma once

#include <string>

#include "AfxDialog.h"
#include "AfxServices.h"
#include "CComPort.h"
#include "CEditValue.h"
#include "SettingsLocation.h"

class CZeta7Dlg : public CDialog {
 public:
  struct Services {
    CClock* pClock = &AfxSystemClock();
    CDesktop* pDesktop = &AfxSystemDesktop();
    CMessageBoxes* pBoxes = &AfxSystemMessageBoxes();
    LocationServices location = SystemLocationServices();
  };

  explicit CZeta7Dlg(CWnd* pParent = nullptr);
  ~CZeta7Dlg() override;

  // Takes effect at Create or DoModal.
  void SetServices(Services services);

  const std::string& IniPath() const { return m_strIniPath; }
  int ComPort() const { return m_nComPort; }
  int BaudIndex() const { return m_nBaudIndex; }

  BOOL PreTranslateMessage(MSG* pMsg) override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  const AFX_MSGMAP* GetMessageMap() const override;
  CMessageBoxes& MessageBoxes() const override { return *m_services.pBoxes; }

 private:
  void OnPaint();
  HICON OnQueryDragIcon();
  void OnClose();

  // Connection workflow.
  void OnConnect();
  void OnDisconnect();
  void OnSelchangeComPort();
  void OnSelchangeBaudRate();
  void ResetToDisconnected(const char* message, const std::string& detail = {});
  // What the last exchange heard from the unit and at which speed, for the
  // lines below a failure's message.
  std::string ExchangeDetail() const;
  // Where the port number leads and why it does not open there.
  std::string OpenFailureDetail() const;

  // Parameter workflow.
  void OnInfiniteRetry();
  void OnReadParams();
  void OnWriteParams();

  void LoadSettings();
  void SaveSettings();

  int Transact(const char* cmd, char* reply, int cap);
  int AppMessageBox(const std::string& text, UINT type, const std::string& detail = {});

  // Declared in the order the window's controls are bound; destroyed in
  // reverse, the port first.
  CStatic m_staticVersion;
  CEditValue m_editRetryInterval;
  CEditValue m_editRetryCount;
  CEditValue m_editId;
  CEditValue m_editChannel;
  CComboBox m_comboComPort;
  CComboBox m_comboBaudRate;
  CButton m_btnWrite;
  CButton m_btnRead;
  CButton m_btnDisconnect;
  CButton m_btnConnect;
  BOOL m_bInfiniteRetry;
  HICON m_hIcon;
  std::string m_strIniPath;
  int m_nComPort;
  int m_nBaudIndex;
  Services m_services;
  std::string m_strHeard;   // every byte the last exchange read after sending
  int m_nLineSpeed = 0;     // bit/s of the last Connect
  bool m_bClosing = false;  // the close question is up
  CComPort m_port;
};
