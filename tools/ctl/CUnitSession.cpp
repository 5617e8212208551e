#include "CUnitSession.h"

#include <cstdio>
#include <cstring>

#include "CtlText.h"
#include "PortDiagnosis.h"

namespace {

constexpr int kReplyCap = 256;
// The window pauses this long after a write before it looks at the reply.
constexpr int kWritePauseMs = 10;
// A path is opened through a map of its own, as COM1.
constexpr int kPathSlot = 1;

std::string Format(const char* pattern, int n) {
  char text[128];
  std::snprintf(text, sizeof text, pattern, n);
  return text;
}

std::string Format(const char* pattern, const std::string& s) {
  std::string out = pattern;
  const size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, s);
  return out;
}

// What came back, escaped, and why the exchange ended early if it did.
std::string Detail(const std::string& label, const std::string& reply, const std::string& reason) {
  if (reply.empty()) return reason;
  return label + EscapeBytes(reply) + (reason.empty() ? "" : ", " + reason);
}

bool SameParams(const UnitParams& a, const UnitParams& b) {
  return a.channel == b.channel && a.id == b.id && a.retryCount == b.retryCount &&
         a.retryInterval == b.retryInterval;
}

}  // namespace

CUnitSession::CUnitSession(const UnitTarget& target, const SessionOptions& options,
                           const std::string& command, const std::atomic<bool>& interrupted)
    : m_target(target), m_options(options), m_interrupted(interrupted) {
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

bool CUnitSession::Fail(const char* text, const std::string& reason) {
  m_record.error = std::string(text) + " " + Where() + ": " + reason;
  return false;
}

bool CUnitSession::Connect() {
  if (m_interrupted.load()) {
    m_bInterrupted = true;
    return false;
  }
  m_port.SetComMap({{kPathSlot, m_target.device}});
  if (!m_port.Reopen(kPathSlot, m_options.baud, 8, 0, 0)) {
    m_port.Close();
    m_bFailedBeforeUnit = true;
    PortDiagnosis d = DiagnoseDevice(m_target.device);
    d.mapKey = m_target.mapKey;
    const std::string first = m_target.comNumber != 0
                                  ? Format(kTextOpenFailed, m_target.comNumber)
                                  : Format(kTextPathOpenFailed, m_target.device);
    // An open that failed for a reason the probe no longer sees (the holder
    // let go meanwhile) still names the device.
    m_record.error =
        first + " " + DescribeDevice(d) + ": " +
        (d.problem == PortProblem::kNone ? "オープンできませんでした" : DescribeProblem(d));
    return false;
  }
  m_port.SetLineControl(1, 0);
  m_port.SetRts(1);

  const std::string speed = " (" + std::to_string(m_options.baud) + " bit/s)";
  std::string reply, reason;
  if (!Exchange("", &reply, &reason)) return false;
  // The window compares as C strings: the text up to a NUL.
  if (std::strcmp(reply.c_str(), kUnitPrompt) != 0) {
    m_bFailedBeforeUnit = true;
    return Fail(kTextNoComm, Detail("プロンプト ", reply, reason) + speed);
  }
  if (!Exchange("V", &reply, &reason)) return false;
  if (reply.empty() || reply[0] != 'V') {
    return Fail(kTextBadComm, Detail("版数の応答 ", reply, reason) + speed);
  }
  m_record.version = reply.substr(0, std::strlen(reply.c_str()));
  return true;
}

bool CUnitSession::ReadParams(UnitParams* params) {
  std::string reply, reason;
  if (!Exchange("R", &reply, &reason)) return false;
  if (reply.empty()) return Fail(kTextNoComm, reason);
  if (ParseReadReply(reply.c_str(), static_cast<int>(reply.size()), params) !=
      ReadReplyResult::kOk) {
    return Fail(kTextBadData, Detail("応答 ", reply, reason) + " (" + std::to_string(reply.size()) +
                                  " 文字; 4つの値で 17 か 18 文字が正)");
  }
  return true;
}

bool CUnitSession::WriteParams(const UnitParams& params) {
  const std::string command = FormatWriteCommand(params);
  std::string reply, reason;
  if (!Exchange(command.c_str(), &reply, &reason)) return false;
  m_bWriteSent = true;
  if (reply.empty()) return Fail(kTextNoComm, reason);
  if (m_options.pace == Pace::kFixed) m_sleeper.Sleep(kWritePauseMs);
  if (std::strcmp(reply.c_str(), "OK") != 0) {
    return Fail(kTextWriteFailed, Detail("\"" + command + "\" への応答 ", reply, reason));
  }
  return true;
}

bool CUnitSession::Verify(const UnitParams& written) {
  UnitParams back{};
  if (!ReadParams(&back)) return false;
  m_record.after = back;
  if (!SameParams(back, written)) {
    return Fail(kTextWriteFailed,
                "\"OK\" の後に読み戻した値が違います (書き込み: " + DescribeParams(written) +
                    "; 読み戻し: " + DescribeParams(back) + ")");
  }
  return true;
}

bool CUnitSession::Exchange(const char* cmd, std::string* reply, std::string* reason) {
  if (m_interrupted.load()) {
    m_bInterrupted = true;
    return false;
  }
  char buf[kReplyCap];
  reason->clear();
  int count = 0;
  if (m_options.pace == Pace::kFixed) {
    count = TransactOn(m_port, m_sleeper, cmd, buf, kReplyCap);
  } else {
    const FastReply r = FastTransactOn(m_port, m_clock, cmd, buf, kReplyCap, m_options.timeoutMs);
    count = r.count;
    switch (r.end) {
      case FastEnd::kTimeout:
        *reason = (count == 0 ? "応答がありません" : "応答が終わりません") +
                  std::string(" (タイムアウト ") + std::to_string(m_options.timeoutMs) + " ms)";
        break;
      case FastEnd::kLineLost:
        *reason = "回線が切れました";
        break;
      case FastEnd::kWriteFailed:
        *reason = "送信できません";
        break;
      case FastEnd::kCr:
      case FastEnd::kPrompt:
      case FastEnd::kCap:
        break;
    }
  }
  reply->assign(buf, static_cast<size_t>(count));
  if (count == 0 && reason->empty()) *reason = "応答がありません";
  return true;
}

void CUnitSession::Finish(bool ok) {
  m_port.Close();
  m_record.elapsedMs = m_clock.NowMs() - m_llStartMs;
  if (ok) {
    m_record.outcome = UnitOutcome::kOk;
    m_record.error.clear();
  } else if (m_bInterrupted) {
    m_record.outcome = UnitOutcome::kInterrupted;
    m_record.error = std::string(kTextInterrupted) + " " + Where() +
                     (m_bWriteSent ? ": 書き込み後、読み戻しの前" : "");
  } else {
    m_record.outcome = UnitOutcome::kFailed;
  }
}
