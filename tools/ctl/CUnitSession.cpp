#include "CUnitSession.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "CtlPlan.h"
#include "CtlText.h"
#include "PortDiagnosis.h"

namespace {

constexpr int kReplyCap = 256;
// The window pauses this long after a write before it looks at the reply.
constexpr int kWritePauseMs = 10;
// A path is opened through a map of its own, as COM1.
constexpr int kPathSlot = 1;
constexpr const char* kReasonNotSent = "送信できません";

// What came back, escaped, and why the exchange ended early if it did.
std::string Detail(const std::string& label, const std::string& reply, const std::string& reason) {
  if (reply.empty()) return reason;
  return label + EscapeBytes(reply) + (reason.empty() ? "" : ", " + reason);
}

const char* OpenErrorCode(PortProblem problem) {
  switch (problem) {
    case PortProblem::kMissing:
    case PortProblem::kNoDevice:
      return error_code::kOpenMissing;
    case PortProblem::kPermission:
      return error_code::kOpenPermission;
    case PortProblem::kBusy:
      return error_code::kOpenBusy;
    case PortProblem::kNotTerminal:
      return error_code::kNotSerial;
    case PortProblem::kNone:
    case PortProblem::kOther:
      break;
  }
  return error_code::kOpenFailed;
}

std::string StateNote(const UnitRecord& r) {
  return r.okReceived ? "書き込み後、読み戻しの前 (\"OK\" は受信; ユニットの状態は不明)"
                      : "書き込み後、\"OK\" の前 (\"S\" は送信済み; ユニットの状態は不明)";
}

}  // namespace

// The port as the exchanges see it: it counts the bytes that come, and once
// the user has given up, its waits and sleeps end within a slice and it
// reads and sends nothing more.
class CUnitSession::CPortView {
 public:
  CPortView(CComPort& port, const InterruptState& interrupted, int* bytesSeen, bool* sent,
            CTraceTap& trace)
      : m_port(port),
        m_interrupted(interrupted),
        m_pBytesSeen(bytesSeen),
        m_pSent(sent),
        m_trace(trace) {}
  ~CPortView() { m_trace.EndBurst(); }

  int ReadByte() {
    if (m_bCut) return 0;
    return Count(m_port.ReadByte());
  }
  int WriteString(const char* s) {
    if (m_bCut) return 0;
    const int r = m_port.WriteString(s);
    *m_pSent = *m_pSent || r != 0;
    m_trace.Sent(r != 0 ? s : std::string(s) + " (送信できず)");
    return r;
  }
  int WaitByte(int ms) {
    const long long until = m_clock.NowMs() + ms;
    for (;;) {
      if (CheckCut()) return -1;
      const long long left = until - m_clock.NowMs();
      const int r = m_port.WaitByte(
          static_cast<int>(std::max(0LL, std::min<long long>(left, kGiveUpSliceMs))));
      if (r != 0 || left <= kGiveUpSliceMs) {
        if (r == 0) m_trace.EndBurst();
        if (r == -1) m_trace.Event("lost", "");
        return Count(r);
      }
    }
  }
  void Sleep(int ms) {
    const long long until = m_clock.NowMs() + ms;
    for (long long left = ms; left > 0 && !CheckCut(); left = until - m_clock.NowMs()) {
      m_sleeper.Sleep(static_cast<int>(std::min<long long>(left, kGiveUpSliceMs)));
    }
  }
  bool Cut() const { return m_bCut; }

 private:
  bool CheckCut() {
    if (m_interrupted.GivenUp()) m_bCut = true;
    return m_bCut;
  }
  int Count(int r) {
    if (r >= 0x100 && r <= 0x1FF) {
      ++*m_pBytesSeen;
      m_trace.Received(static_cast<unsigned char>(r - 0x100));
    }
    return r;
  }

  CComPort& m_port;
  const InterruptState& m_interrupted;
  int* m_pBytesSeen;
  bool* m_pSent;
  CTraceTap& m_trace;
  SystemClock m_sleeper;
  SteadyClock m_clock;
  bool m_bCut = false;
};

CUnitSession::CUnitSession(const UnitTarget& target, const SessionOptions& options,
                           const std::string& command, const InterruptState& interrupted)
    : m_target(target),
      m_options(options),
      m_interrupted(interrupted),
      m_trace(options.trace, target.name, TraceClockUs()) {
  m_record.time = UtcNow();
  m_record.command = command;
  m_record.port = target.name;
  m_record.device = target.device;
  m_record.baud = options.baud;
  m_record.pace = options.pace == Pace::kFast ? "fast" : "fixed";
  m_llStartMs = m_clock.NowMs();
}

std::string CUnitSession::Where() const {
  if (m_target.comNumber == 0) return m_target.device;
  return m_target.name + " (" + m_target.device + ")";
}

bool CUnitSession::Fail(const char* text, const std::string& reason, const char* code) {
  m_record.error = std::string(text) + " " + Where() + ": " + reason;
  m_record.errorCode = code;
  return false;
}

void CUnitSession::OpenFailed(PortDiagnosis d) {
  // A port that is not there or is no serial line is not a unit; one this
  // user may not open, or another program holds, may well be one.
  m_bNothingAnswered = d.problem == PortProblem::kMissing || d.problem == PortProblem::kNoDevice ||
                       d.problem == PortProblem::kNotTerminal;
  d.mapKey = m_target.mapKey;
  const std::string first = m_target.comNumber != 0
                                ? TextWith(kTextOpenFailed, m_target.comNumber)
                                : TextWith(kTextPathOpenFailed, m_target.device);
  // An open that failed for a reason the probe no longer sees (the holder
  // let go meanwhile) still names the device.
  m_record.error =
      first + " " + DescribeDevice(d) + ": " +
      (d.problem == PortProblem::kNone ? "オープンできませんでした" : DescribeProblem(d));
  m_record.errorCode = OpenErrorCode(d.problem);
}

bool CUnitSession::Connect() {
  if (m_interrupted.Requested()) {
    m_bInterrupted = true;
    return false;
  }
  m_port.SetComMap({{kPathSlot, m_target.device}});
  m_trace.Event("open", m_target.device + " " + std::to_string(m_options.baud) + " bit/s");
  if (!m_port.Reopen(kPathSlot, m_options.baud, 8, 0, 0)) {
    // The open's own verdict; the diagnosis adds the holder and the group
    // without opening the device again.
    const PortOpenError error = m_port.LastOpenError();
    m_trace.Event("close", "オープンできません");
    m_port.Close();
    OpenFailed(DiagnoseOpenError(m_target.device, error, m_options.roots.sys, m_options.roots.dev));
    return false;
  }
  m_port.SetLineControl(1, 0);
  m_port.SetRts(1);

  const std::string speed = " (" + std::to_string(m_options.baud) + " bit/s)";
  std::string reply, reason;
  if (!Exchange("", &reply, &reason)) return false;
  // The window compares as C strings: the text up to a NUL.
  if (std::strcmp(reply.c_str(), kUnitPrompt) != 0) {
    m_bNothingAnswered = m_nBytesSeen == 0;
    return Fail(kTextNoComm, Detail("プロンプト ", reply, reason) + speed,
                reply.empty() ? m_pszExchangeCode : error_code::kBadPrompt);
  }
  if (!Exchange("V", &reply, &reason)) return false;
  if (reply.empty() || reply[0] != 'V') {
    return Fail(kTextBadComm, Detail("版数の応答 ", reply, reason) + speed,
                reply.empty() ? m_pszExchangeCode : error_code::kBadVersion);
  }
  m_record.version = reply.substr(0, std::strlen(reply.c_str()));
  return true;
}

bool CUnitSession::ReadParams(UnitParams* params) {
  std::string reply, reason;
  if (!Exchange("R", &reply, &reason)) return false;
  if (reply.empty()) return Fail(kTextNoComm, reason, m_pszExchangeCode);
  const ReadReplyResult result =
      ParseReadReply(reply.c_str(), static_cast<int>(reply.size()), params);
  if (result == ReadReplyResult::kWrongLength) {
    return Fail(kTextBadData,
                Detail("応答 ", reply, reason) + " (" + std::to_string(reply.size()) +
                    " 文字; 4つの値で 17 か 18 文字が正)",
                error_code::kBadReply);
  }
  if (result != ReadReplyResult::kOk) {
    const size_t nul = reply.find('\0');
    return Fail(kTextBadData,
                Detail("応答 ", reply, reason) + " (" + std::to_string(reply.size()) +
                    " 文字ですが4つの値が揃っていません" +
                    (nul == std::string::npos
                         ? std::string()
                         : "; " + std::to_string(nul + 1) + " 文字目の NUL で切れています") +
                    ")",
                error_code::kBadReply);
  }
  return true;
}

bool CUnitSession::WriteParams(const UnitParams& params) {
  const std::string command = FormatWriteCommand(params);
  std::string reply, reason;
  const bool answered = Exchange(command.c_str(), &reply, &reason);
  // Whether the line went out, even when the wait for its answer was given
  // up: the unit may then have stored it.
  m_record.writeSent = m_bSent;
  if (!answered) return false;
  if (reply.empty()) return Fail(kTextNoComm, reason, m_pszExchangeCode);
  if (m_options.pace == Pace::kFixed) m_sleeper.Sleep(kWritePauseMs);
  if (std::strcmp(reply.c_str(), "OK") != 0) {
    return Fail(kTextWriteFailed, Detail("\"" + command + "\" への応答 ", reply, reason),
                error_code::kRejected);
  }
  m_record.okReceived = true;
  return true;
}

bool CUnitSession::Verify(const UnitParams& written) {
  UnitParams back{};
  if (!ReadParams(&back)) return false;
  m_record.after = back;
  m_record.state = SameParams(back, written) ? UnitState::kVerified : UnitState::kDiffers;
  if (!SameParams(back, written)) {
    return Fail(kTextWriteFailed,
                "\"OK\" の後に読み戻した値が違います (書き込み: " + DescribeParams(written) +
                    "; 読み戻し: " + DescribeParams(back) + ")",
                error_code::kVerifyMismatch);
  }
  return true;
}

bool CUnitSession::Exchange(const char* cmd, std::string* reply, std::string* reason) {
  if (m_interrupted.Requested()) {
    m_bInterrupted = true;
    return false;
  }
  char buf[kReplyCap];
  reason->clear();
  m_pszExchangeCode = error_code::kNoAnswer;
  int count = 0;
  m_nBytesSeen = 0;
  m_bSent = false;
  CPortView view(m_port, m_interrupted, &m_nBytesSeen, &m_bSent, m_trace);
  if (m_options.pace == Pace::kFixed) {
    count = TransactOn(view, view, cmd, buf, kReplyCap);
  } else {
    const FastReply r = FastTransactOn(view, m_clock, cmd, buf, kReplyCap, m_options.timeoutMs);
    count = r.count;
    switch (r.end) {
      case FastEnd::kTimeout:
        *reason = (count == 0 ? "応答がありません" : "応答が終わりません") +
                  std::string(" (タイムアウト ") + std::to_string(m_options.timeoutMs) + " ms)";
        break;
      case FastEnd::kLineLost:
        *reason = "回線が切れました";
        m_pszExchangeCode = error_code::kHangup;
        break;
      case FastEnd::kWriteFailed:
        *reason = kReasonNotSent;
        m_pszExchangeCode = error_code::kHangup;
        break;
      case FastEnd::kCr:
      case FastEnd::kPrompt:
      case FastEnd::kCap:
        break;
    }
  }
  if (view.Cut()) {
    m_bInterrupted = true;
    return false;
  }
  reply->assign(buf, static_cast<size_t>(count));
  if (count == 0 && m_nBytesSeen > 0) {
    if (m_pszExchangeCode != error_code::kHangup) m_pszExchangeCode = error_code::kNoise;
    // Bytes came, but not one line of echo and reply: most often the unit
    // talks at another speed.
    *reason = std::to_string(m_nBytesSeen) + " バイト届きましたが応答になっていません (" +
              (reason->empty() ? "" : *reason + "; ") + "速度が違うなら -b で指定してください)";
  }
  if (count == 0 && reason->empty()) *reason = "応答がありません";
  return true;
}

bool CUnitSession::Scan(const std::vector<int>& speeds) {
  if (m_interrupted.Requested()) {
    m_bInterrupted = true;
    return false;
  }
  const std::string identity = DeviceIdentity(m_target.device);
  for (const std::string& byId : ByIdPaths(m_options.roots)) {
    if (DeviceIdentity(byId) == identity) {
      m_record.usbSerial = UsbSerialOfByIdName(std::filesystem::u8path(byId).filename().u8string());
    }
  }
  // A port that is held, refused or absent fails at its first open, before
  // a byte goes out (a held port may be another program's unit
  // mid-exchange), and is reported as the open found it.
  bool anyBytes = false;
  for (int baud : speeds) {
    m_options.baud = baud;
    m_record.baud = baud;
    if (Connect()) return true;
    m_port.Close();
    if (m_bInterrupted || m_record.errorCode.rfind("open_", 0) == 0) return false;
    anyBytes = anyBytes || !m_bNothingAnswered;
  }
  m_bNothingAnswered = !anyBytes;
  m_record.baud = 0;
  std::string list;
  for (int baud : speeds) list += (list.empty() ? "" : ", ") + std::to_string(baud);
  if (!anyBytes) {
    return Fail(kTextNoComm, "どの速度でも応答がありません (" + list + " bit/s)",
                error_code::kNoAnswer);
  }
  m_record.error += " [試した速度: " + list + " bit/s]";
  return false;
}

void CUnitSession::Finish(bool ok) {
  if (m_port.IsOpen()) m_trace.Event("close", "");
  m_port.Close();
  m_record.elapsedMs = m_clock.NowMs() - m_llStartMs;
  if (ok) {
    m_record.outcome = UnitOutcome::kOk;
    m_record.error.clear();
    m_record.errorCode.clear();
  } else if (m_bInterrupted) {
    m_record.outcome = UnitOutcome::kInterrupted;
    m_record.errorCode = error_code::kInterrupted;
    m_record.error =
        std::string(kTextInterrupted) + " " + Where() +
        (m_record.writeSent && m_record.state == UnitState::kUnchanged ? ": " + StateNote(m_record)
                                                                       : "");
  } else {
    m_record.outcome = UnitOutcome::kFailed;
    if (m_record.writeSent && m_record.state == UnitState::kUnchanged) {
      m_record.error += " [" + StateNote(m_record) + "]";
      // With no verdict from the unit, what it holds matters more to a
      // script than why it fell silent; the text keeps the cause.
      const std::string code = m_record.errorCode;
      if (code == error_code::kNoAnswer || code == error_code::kNoise ||
          code == error_code::kHangup) {
        m_record.errorCode = error_code::kStateUnknown;
      }
    }
    if (m_record.errorCode.empty()) m_record.errorCode = error_code::kOpenFailed;
  }
  if (m_record.writeSent && m_record.state == UnitState::kUnchanged) {
    m_record.state = UnitState::kUnknown;
  }
  // The verdict beside the bytes, so that a trace alone tells the story.
  m_trace.Event("end", std::string(OutcomeName(m_record.outcome)) +
                           (m_record.errorCode.empty() ? "" : " " + m_record.errorCode + ": ") +
                           m_record.error);
}
