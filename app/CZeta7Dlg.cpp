#include "CZeta7Dlg.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "CliText.h"
#include "ComResolver.h"
#include "MainDialogTemplate.h"
#include "ParamReply.h"
#include "PortDiagnosis.h"
#include "SettingsKeys.h"
#include "Transact.h"
#include "UnitLimits.h"
#include "UnitMessages.h"
#include "iniacs.h"

namespace {

constexpr int kReplyCap = 256;
constexpr const char* kTitleVersion = "1.02";
constexpr int kTitleBuffer = 256;
constexpr int kWritePauseMs = 10;

constexpr const char* kMsgQuit = "終了しますか？";
constexpr const char* kMsgConfirmWrite = "パラメータをZETA-7に書き込みます";

constexpr int kComPortCount = 255;

struct FieldLimits {
  ParamRange range;
  int maxChars;
};
constexpr FieldLimits kChannelLimits{kChannelRange, 3};
constexpr FieldLimits kIdLimits{kIdRange, 3};
constexpr FieldLimits kRetryCountLimits{kRetryCountRange, 6};
constexpr FieldLimits kRetryIntervalLimits{kRetryIntervalRange, 6};

// Which label names each field and list for a screen reader, and which
// label describes it.
constexpr AFX_CONTROL_LABEL kControlLabels[] = {
    {IDC_COMBO_COMPORT, "COMポート", nullptr},
    {IDC_COMBO_BAUDRATE, "ボーレート", nullptr},
    {IDC_EDIT_CHANNEL, "チャネル", "(7～46)"},
    {IDC_EDIT_ID, "ID", "(0～15)"},
    {IDC_EDIT_RETRY_COUNT, "リトライ回数", "(0～10000)"},
    {IDC_EDIT_RETRY_INTERVAL, "リトライ間隔[msec]", "(0～32767)"},
};

void ApplyLimits(CEditValue& field, const FieldLimits& limits) {
  field.m_nMin = limits.range.low;
  field.m_nMax = limits.range.high;
  field.m_nMaxChars = limits.maxChars;
}

std::string Format(const char* format, int value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

CZeta7Dlg::CZeta7Dlg(CWnd* pParent)
    : CDialog(IDD_MAIN_DIALOG, pParent),
      m_bInfiniteRetry(FALSE),
      m_hIcon(AfxLoadIcon(IDR_MAINFRAME)),
      // Kept when the settings load is skipped (no program path).
      m_nComPort(1),
      m_nBaudIndex(0) {
  // The settings file is named from the same path as the application, read
  // once at start-up.
  if (const CWinApp* app = AfxGetApp(); app && !app->m_strModulePath.empty()) {
    const std::string path = app->m_strModulePath;
    m_services.location.programPath = [path] { return std::optional<std::string>(path); };
  }
}

CZeta7Dlg::~CZeta7Dlg() = default;

void CZeta7Dlg::SetServices(Services services) { m_services = std::move(services); }

const AFX_MSGMAP* CZeta7Dlg::GetMessageMap() const {
  static const AFX_MSGMAP_ENTRY entries[] = {
      ON_WM_PAINT(&CZeta7Dlg::OnPaint),
      ON_WM_QUERYDRAGICON(&CZeta7Dlg::OnQueryDragIcon),
      ON_BN_CLICKED(IDC_BUTTON_CONNECT, &CZeta7Dlg::OnConnect),
      ON_BN_CLICKED(IDC_BUTTON_DISCONNECT, &CZeta7Dlg::OnDisconnect),
      ON_BN_CLICKED(IDC_BUTTON_READ, &CZeta7Dlg::OnReadParams),
      ON_BN_CLICKED(IDC_BUTTON_WRITE, &CZeta7Dlg::OnWriteParams),
      ON_WM_CLOSE(&CZeta7Dlg::OnClose),
      ON_CBN_SELCHANGE(IDC_COMBO_BAUDRATE, &CZeta7Dlg::OnSelchangeBaudRate),
      ON_CBN_SELCHANGE(IDC_COMBO_COMPORT, &CZeta7Dlg::OnSelchangeComPort),
      ON_BN_CLICKED(IDC_CHECK_INFINITE_RETRY, &CZeta7Dlg::OnInfiniteRetry),
      END_MESSAGE_MAP,
  };
  static const AFX_MSGMAP map = {CDialog::GetThisMessageMap(), entries};
  return &map;
}

void CZeta7Dlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_STATIC_VERSION, m_staticVersion);
  DDX_Control(pDX, IDC_EDIT_RETRY_INTERVAL, m_editRetryInterval);
  DDX_Control(pDX, IDC_EDIT_RETRY_COUNT, m_editRetryCount);
  DDX_Control(pDX, IDC_EDIT_ID, m_editId);
  DDX_Control(pDX, IDC_EDIT_CHANNEL, m_editChannel);
  DDX_Control(pDX, IDC_COMBO_COMPORT, m_comboComPort);
  DDX_Control(pDX, IDC_COMBO_BAUDRATE, m_comboBaudRate);
  DDX_Control(pDX, IDC_BUTTON_WRITE, m_btnWrite);
  DDX_Control(pDX, IDC_BUTTON_READ, m_btnRead);
  DDX_Control(pDX, IDC_BUTTON_DISCONNECT, m_btnDisconnect);
  DDX_Control(pDX, IDC_BUTTON_CONNECT, m_btnConnect);
  DDX_Check(pDX, IDC_CHECK_INFINITE_RETRY, m_bInfiniteRetry);
}

BOOL CZeta7Dlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The window speaks Japanese whatever the locale, and so do the texts
  // that reach it from below (a damaged file of COM numbers, say).
  SetLanguage(CliLanguage::kJapanese);

  SetIcon(m_hIcon, TRUE);
  SetIcon(m_hIcon, FALSE);

  LoadSettings();

  // The version line runs along the whole bottom edge.
  CRect line;
  CRect client;
  m_staticVersion.GetWindowRect(&line);
  GetClientRect(&client);
  m_staticVersion.SetWindowText("");
  m_staticVersion.MoveWindow(client.left, client.bottom - line.Height(), client.Width(),
                             line.Height());

  for (int port = 1; port <= kComPortCount; ++port) {
    m_comboComPort.AddString(Format("COM%d", port).c_str());
  }
  // Which entries lead to a device, and to which: the entries' own texts
  // stay "COM%d".
  for (const auto& [port, device] : DescribeComPorts(kComPortCount, m_port.GetComMap())) {
    m_comboComPort.SetItemTip(port - 1, device.c_str());
  }
  // Only COM1 to COM255 have an entry; any other stored number (the file may
  // hold INT_MIN) leaves the list without a selection.
  m_comboComPort.SetCurSel(m_nComPort >= 1 && m_nComPort <= kComPortCount ? m_nComPort - 1 : -1);

  for (const int rate : kBaudRates) m_comboBaudRate.AddString(Format("%dbps", rate).c_str());
  m_comboBaudRate.SetCurSel(m_nBaudIndex);

  ApplyLimits(m_editChannel, kChannelLimits);
  ApplyLimits(m_editId, kIdLimits);
  ApplyLimits(m_editRetryCount, kRetryCountLimits);
  ApplyLimits(m_editRetryInterval, kRetryIntervalLimits);
  SetControlLabels(kControlLabels, std::size(kControlLabels));

  m_btnDisconnect.EnableWindow(FALSE);
  m_btnRead.EnableWindow(FALSE);
  m_btnWrite.EnableWindow(FALSE);

  char title[kTitleBuffer];
  GetWindowText(title, kTitleBuffer);
  SetWindowText((std::string(title) + " " + kTitleVersion).c_str());

  return TRUE;
}

// ---- Key filter, minimised window, close request --------------------------

// Enter presses the focused Connect, Disconnect, Read or Write button; every
// other Enter and every Escape is swallowed, so neither ends the dialog.
// Only the close request ends it.
BOOL CZeta7Dlg::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN &&
      (pMsg->hwnd == m_btnConnect.m_hWnd || pMsg->hwnd == m_btnDisconnect.m_hWnd ||
       pMsg->hwnd == m_btnWrite.m_hWnd || pMsg->hwnd == m_btnRead.m_hWnd)) {
    CDialog::PreTranslateMessage(pMsg);
  }
  if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE)) {
    return TRUE;
  }
  return CDialog::PreTranslateMessage(pMsg);
}

void CZeta7Dlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  dc.EraseIconBackground();
  CRect rect;
  GetClientRect(&rect);
  const int x = (rect.Width() - AfxGetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (rect.Height() - AfxGetSystemMetrics(SM_CYICON) + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HICON CZeta7Dlg::OnQueryDragIcon() { return m_hIcon; }

// One question at a time: a close request that comes while the box is up (a
// second Alt+F4, the window manager's close sent twice, a session end) is
// answered by that box, and one that comes after the end finds nothing to
// close; otherwise a second box would end the dialog under the first, and
// the settings would be written twice.
void CZeta7Dlg::OnClose() {
  if (m_bClosing || IsEnded()) return;
  struct Asking {
    explicit Asking(bool& flag) : m_flag(flag) { m_flag = true; }
    ~Asking() { m_flag = false; }
    bool& m_flag;
  };
  {
    const Asking asking(m_bClosing);
    if (AppMessageBox(kMsgQuit, MB_OKCANCEL) != IDOK) return;
  }
  SaveSettings();
  CDialog::OnClose();
}

// ---- Exchange and boxes -------------------------------------------------------

namespace {

// The port as the exchange sees it, keeping every byte read after the
// command went out.
class HearingPort {
 public:
  HearingPort(CComPort& port, std::string& heard) : m_port(port), m_heard(heard) {}
  int ReadByte() {
    const int r = m_port.ReadByte();
    if (m_bSent && (r & 0x100)) m_heard += static_cast<char>(r & 0xFF);
    return r;
  }
  int WriteString(const char* s) {
    m_bSent = true;
    return m_port.WriteString(s);
  }

 private:
  CComPort& m_port;
  std::string& m_heard;
  bool m_bSent = false;
};

// Bytes as a technician can read them: printable ASCII as it is, the rest
// as C escapes; long answers are cut.
std::string Escaped(const std::string& bytes) {
  constexpr size_t kShown = 96;
  std::string text;
  for (size_t i = 0; i < bytes.size() && i < kShown; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    switch (c) {
      case '\r':
        text += "\\r";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\t':
        text += "\\t";
        break;
      case '\\':
        text += "\\\\";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          text += static_cast<char>(c);
        } else {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          text += hex;
        }
    }
  }
  if (bytes.size() > kShown) text += "…";
  return text;
}

}  // namespace

int CZeta7Dlg::Transact(const char* cmd, char* reply, int cap) {
  CWaitCursor busy;
  m_strHeard.clear();
  HearingPort port(m_port, m_strHeard);
  return TransactOn(port, *m_services.pClock, cmd, reply, cap);
}

std::string CZeta7Dlg::ExchangeDetail() const {
  const std::string heard = m_strHeard.empty() ? "受信: なし"
                                               : "受信: \"" + Escaped(m_strHeard) + "\" (" +
                                                     std::to_string(m_strHeard.size()) + " バイト)";
  std::string detail = heard + "\n回線速度: " + std::to_string(m_nLineSpeed) + " bit/s";
  if (m_port.LastWriteFailed()) {
    // A line that will not drain is most often a handshake another program
    // left on, with the unit holding its line low.
    const std::string flow = m_port.FlowControlAtFailure(CliLanguage::kJapanese);
    detail += "\n送信: コマンドを送り終えられませんでした";
    if (!flow.empty()) detail += " (ポートの" + flow + "が有効のままです)";
  }
  return detail;
}

std::string CZeta7Dlg::OpenFailureDetail() const {
  // Why the open failed, as the open decided it; the diagnosis only names
  // the device, its holder and its group (it does not open it again).
  const ComMap& map = m_port.GetComMap();
  PortDiagnosis d = DiagnoseOpenError(ResolveComDevice(m_nComPort, map), m_port.LastOpenError());
  d.comNumber = m_nComPort;
  const auto entry = map.find(m_nComPort);
  if (entry != map.end() && !entry->second.empty()) d.mapKey = "com" + std::to_string(m_nComPort);
  return "デバイス: " + DescribeDevice(d, CliLanguage::kJapanese) +
         "\n理由: " + DescribeProblem(d, CliLanguage::kJapanese);
}

int CZeta7Dlg::AppMessageBox(const std::string& text, UINT type, const std::string& detail) {
  return m_services.pBoxes->AppMessageBox(this, text, type, detail);
}

// ---- Connection workflow ----------------------------------------------------

void CZeta7Dlg::OnConnect() {
  m_btnConnect.EnableWindow(FALSE);
  m_comboComPort.EnableWindow(FALSE);
  m_comboBaudRate.EnableWindow(FALSE);

  const int baud = BaudRateOfIndex(m_nBaudIndex);
  m_nLineSpeed = baud;
  if (!m_port.Reopen(m_nComPort, baud, 8, 0, 0)) {
    ResetToDisconnected(Format(WindowText(kTextOpenFailed), m_nComPort).c_str(),
                        OpenFailureDetail());
    return;
  }
  m_port.SetLineControl(1, 0);
  m_port.SetRts(1);

  m_btnDisconnect.EnableWindow(TRUE);
  m_btnRead.EnableWindow(TRUE);
  m_btnWrite.EnableWindow(TRUE);

  char reply[kReplyCap];
  Transact("", reply, kReplyCap);
  if (std::strcmp(reply, "ZETA7>") != 0) {
    ResetToDisconnected(WindowText(kTextNoComm), ExchangeDetail());
    return;
  }
  Transact("V", reply, kReplyCap);
  if (reply[0] != 'V') {
    ResetToDisconnected(WindowText(kTextBadComm), ExchangeDetail());
    return;
  }
  char line[kReplyCap + 64];
  std::snprintf(line, sizeof line, WindowText(kTextVersionLine), reply);
  m_staticVersion.SetWindowText(line);
  m_btnDisconnect.SetFocus();
}

void CZeta7Dlg::OnDisconnect() {
  m_port.Close();
  ResetToDisconnected(nullptr);
  m_btnConnect.SetFocus();
}

void CZeta7Dlg::ResetToDisconnected(const char* message, const std::string& detail) {
  if (message) AppMessageBox(message, MB_OK | MB_ICONSTOP, detail);
  m_btnDisconnect.EnableWindow(FALSE);
  m_btnRead.EnableWindow(FALSE);
  m_btnWrite.EnableWindow(FALSE);
  m_comboComPort.EnableWindow(TRUE);
  m_comboBaudRate.EnableWindow(TRUE);
  m_btnConnect.EnableWindow(TRUE);
}

void CZeta7Dlg::OnSelchangeComPort() { m_nComPort = m_comboComPort.GetCurSel() + 1; }

void CZeta7Dlg::OnSelchangeBaudRate() { m_nBaudIndex = m_comboBaudRate.GetCurSel(); }

// ---- Parameter workflow -----------------------------------------------------

void CZeta7Dlg::OnInfiniteRetry() {
  UpdateData(TRUE);
  m_editRetryCount.EnableWindow(m_bInfiniteRetry == FALSE);
}

void CZeta7Dlg::OnReadParams() {
  char reply[kReplyCap];
  const int count = Transact("R", reply, kReplyCap);
  if (count == 0) {
    ResetToDisconnected(WindowText(kTextNoComm), ExchangeDetail());
    return;
  }
  UnitParams params{};
  if (ParseReadReply(reply, count, &params) != ReadReplyResult::kOk) {
    ResetToDisconnected(WindowText(kTextBadData), ExchangeDetail());
    return;
  }
  m_editChannel.SetWindowText(Format("%d", params.channel).c_str());
  m_editId.SetWindowText(Format("%d", params.id).c_str());
  if (params.retryCount == -1) {
    m_bInfiniteRetry = TRUE;
  } else {
    m_bInfiniteRetry = FALSE;
    m_editRetryCount.SetWindowText(Format("%d", params.retryCount).c_str());
  }
  UpdateData(FALSE);
  OnInfiniteRetry();
  m_editRetryInterval.SetWindowText(Format("%d", params.retryInterval).c_str());
}

void CZeta7Dlg::OnWriteParams() {
  if (AppMessageBox(kMsgConfirmWrite, MB_OKCANCEL) != IDOK) return;

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
    AppMessageBox(result == -2 ? WindowText(kTextEnterParams) : WindowText(kTextOutOfRange),
                  MB_OK | MB_ICONSTOP);
    return;
  }

  const std::string command = FormatWriteCommand(params);
  char reply[kReplyCap];
  if (Transact(command.c_str(), reply, kReplyCap) == 0) {
    ResetToDisconnected(WindowText(kTextNoComm), ExchangeDetail());
    return;
  }
  m_services.pClock->Sleep(kWritePauseMs);
  if (std::strcmp(reply, "OK") == 0) {
    AppMessageBox(WindowText(kTextWriteDone), MB_OK);
  } else {
    AppMessageBox(WindowText(kTextWriteFailed), MB_OK | MB_ICONSTOP, ExchangeDetail());
  }
}

// ---- Settings -----------------------------------------------------------------

void CZeta7Dlg::LoadSettings() {
  LocationServices services = m_services.location;
  services.showMessage = [this](const std::string& text, const std::string& detail) {
    m_services.pBoxes->WindowMessageBox(this, text, MB_OK, detail);
  };
  const std::optional<std::string> path = LocateSettingsFile(services);
  if (!path) return;
  m_strIniPath = *path;

  iniacs ini;
  ini.SetPath(m_strIniPath);
  const CRect work = m_services.pDesktop->GetWorkArea();
  const CPoint origin = m_services.pDesktop->GetScreenOrigin();
  CRect window;
  GetWindowRect(&window);
  // Centring is measured from the screen origin, not from the work area's
  // own corner.
  int left = ini.GetInt(kSectionPosition, kKeyLeft);
  if (left == -1) left = origin.x + PlacementFromStored(left, work.Width(), window.Width());
  int top = ini.GetInt(kSectionPosition, kKeyTop);
  if (top == -1) top = origin.y + PlacementFromStored(top, work.Height(), window.Height());
  SetWindowPos(left, top, window.Width(), window.Height(), SWP_SHOWWINDOW);

  m_nComPort = ComPortFromStored(ini.GetInt(kSectionCom, kKeyCom));
  m_nBaudIndex = BaudIndexFromStored(ini.GetInt(kSectionCom, kKeyBps));
  m_port.SetComMap(ReadComMap(ini));

  UpdateData(FALSE);
}

void CZeta7Dlg::SaveSettings() {
  // Without a settings path (the program's own path was unavailable) there is
  // nowhere sensible to write.
  if (m_strIniPath.empty()) return;
  iniacs ini;
  ini.SetPath(m_strIniPath);
  // The restored window's outer top-left in screen coordinates, also while
  // minimised, so that a window is put back exactly where it was.
  CRect normal;
  GetNormalPosition(&normal);
  ini.WriteInt(kSectionPosition, kKeyLeft, normal.left);
  ini.WriteInt(kSectionPosition, kKeyTop, normal.top);
  ini.WriteInt(kSectionCom, kKeyCom, m_nComPort);
  ini.WriteInt(kSectionCom, kKeyBps, m_nBaudIndex);
}
