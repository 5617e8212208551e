#include "CComPort.h"

#include <cstring>

namespace {
constexpr int kMinPort = 1;
constexpr int kMaxPort = 256;
}  // namespace

CComPort::CComPort()
    : m_handle(kNoPort),
      m_nBaud(38400),
      m_nByteSize(8),
      m_nParity(0),
      m_nStopBits(0),
      m_bRtsEnabled(0),
      m_bDtrEnabled(0) {}

CComPort::~CComPort() { Close(); }

int CComPort::Open(int n) {
  if (n < kMinPort || n > kMaxPort) {
    m_openError = {PortProblem::kNoDevice, {}};
    return 0;
  }
  // Reopen closes first; a direct second Open must not leak the first device.
  Close();
  PortHandle h = portsys::OpenDevice(n, m_comMap, &m_openError);
  if (h == kNoPort) return 0;
  m_handle = h;
  portsys::ApplyLineFormat(m_handle, LineFormat{m_nBaud, m_nByteSize, m_nParity, m_nStopBits});
  // A device that takes no time-outs stays held until Close: the callers
  // treat the 0 like any failed open and close or reopen later.
  if (portsys::SetNonBlockingTimeouts(m_handle)) return 1;
  m_openError = {PortProblem::kNotTerminal, {}};
  return 0;
}

int CComPort::Reopen(int n, int baud, int byteSize, int parity, int stopBits) {
  Close();
  m_nBaud = baud;
  m_nByteSize = byteSize;
  m_nParity = parity;
  m_nStopBits = stopBits;
  return Open(n);
}

void CComPort::Close() {
  if (m_handle == kNoPort) return;
  portsys::CloseDevice(m_handle);
  m_handle = kNoPort;
  m_bWriteFailed = false;
  m_flowControl.clear();
}

std::string CComPort::FlowControlAtFailure(CliLanguage language) const {
  std::string out;
  for (const char* name : m_flowControl)
    out += (out.empty() ? "" : ", ") + std::string(TrIn(language, name));
  return out;
}

int CComPort::SetLineControl(int rts, int dtr) {
  if (!IsOpen()) return 0;
  m_bRtsEnabled = rts;
  m_bDtrEnabled = dtr;
  portsys::ApplyLineControl(m_handle, rts != 0, dtr != 0);
  return 1;
}

int CComPort::SetRts(int on) {
  if (!IsOpen() || m_bRtsEnabled == 0) return 0;
  portsys::RaiseRts(m_handle, on != 0);
  return 1;
}

int CComPort::Read(char* buf, int n) {
  if (n < 0) n = 0;
  if (!IsOpen()) {
    buf[0] = '\0';
    return 0;
  }
  int got = n > 0 ? portsys::ReadBytes(m_handle, buf, n) : 0;
  if (got < 0) return -1;
  buf[got] = '\0';
  return got;
}

int CComPort::ReadByte() {
  char buf[2];
  if (Read(buf, 1) != 1) return 0;
  return 0x100 | static_cast<unsigned char>(buf[0]);
}

int CComPort::WaitByte(int ms) {
  if (!IsOpen()) return 0;
  const int first = ReadByte();
  if (first != 0) return first;
  char byte = 0;
  switch (portsys::WaitByte(m_handle, ms, &byte)) {
    case portsys::WaitResult::kByte:
      return 0x100 | static_cast<unsigned char>(byte);
    case portsys::WaitResult::kTimedOut:
      return 0;
    case portsys::WaitResult::kEnded:
    case portsys::WaitResult::kFailed:
      break;
  }
  return -1;
}

int CComPort::Write(const char* buf, int n) {
  if (!IsOpen() || n < 0) return 0;
  m_bWriteFailed = !portsys::WriteBytes(m_handle, buf, n);
  m_flowControl =
      m_bWriteFailed ? portsys::FlowControlLeftOn(m_handle) : std::vector<const char*>();
  return m_bWriteFailed ? 0 : 1;
}

int CComPort::WriteString(const char* s) {
  if (s == nullptr) return 0;
  return Write(s, static_cast<int>(std::strlen(s)));
}
