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
constexpr const char* kReasonNotSent = N_("cannot send");

// What came back, escaped, and why the exchange ended early if it did.
std::string Detail(const std::string& label, const std::string& reply, const std::string& reason) {
  if (reply.empty()) return reason;
  return label + " " + EscapeBytes(reply) + (reason.empty() ? "" : ", " + reason);
}

ErrorCode OpenErrorCode(PortProblem problem) {
  switch (problem) {
    case PortProblem::kMissing:
    case PortProblem::kNoDevice:
      return ErrorCode::kOpenMissing;
    case PortProblem::kPermission:
      return ErrorCode::kOpenPermission;
    case PortProblem::kBusy:
      return ErrorCode::kOpenBusy;
    case PortProblem::kNotTerminal:
      return ErrorCode::kNotSerial;
    case PortProblem::kNone:
    case PortProblem::kOther:
      break;
  }
  return ErrorCode::kOpenFailed;
}

std::string StateNote(const UnitRecord& r) {
  return r.okReceived
             ? Tr("after the write, before the read-back (\"OK\" received; the unit's state is "
                  "unknown)")
             : Tr("after the write, before \"OK\" (\"S\" sent; the unit's state is unknown)");
}

}  // namespace

// The port as the exchanges see it: it counts the bytes that come, notes a
// write that failed and a line that is gone, and once the user has given
// up, its waits and sleeps end within a slice and it reads and sends
// nothing more.
class CUnitSession::CPortView {
 public:
  CPortView(CComPort& port, const InterruptState& interrupted, int* bytesSeen, StepResult* step,
            CTraceTap& trace)
      : m_port(port),
        m_interrupted(interrupted),
        m_pBytesSeen(bytesSeen),
        m_pStep(step),
        m_trace(trace) {}
  ~CPortView() { m_trace.EndBurst(); }

  int ReadByte() {
    if (m_bCut) return 0;
    char buf[2] = {};  // Read ends what it stores with a NUL
    const int got = m_port.Read(buf, 1);
    if (got < 0) Lost();
    return got == 1 ? Count(0x100 | static_cast<unsigned char>(buf[0])) : 0;
  }
  int WriteString(const char* s) {
    if (m_bCut) return 0;
    const int r = m_port.WriteString(s);
    m_pStep->sent = m_pStep->sent || r != 0;
    m_bWriteFailed = r == 0;
    m_trace.Sent(r != 0 ? s : TrF("%s (not sent)", {s}));
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
        if (r == -1) Lost();
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
  // After a paced exchange: a hung-up line reads as silence there, and
  // only a look at the line tells it apart. A byte that is waiting is one
  // the next exchange would drain.
  void LookForLoss() {
    if (!m_bCut && !m_pStep->lineLost) WaitByte(0);
  }
  bool Cut() const { return m_bCut; }
  bool WriteFailed() const { return m_bWriteFailed; }

 private:
  bool CheckCut() {
    if (m_interrupted.GivenUp()) m_bCut = true;
    return m_bCut;
  }
  void Lost() {
    if (!m_pStep->lineLost) m_trace.Event("lost", "");
    m_pStep->lineLost = true;
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
  StepResult* m_pStep;
  CTraceTap& m_trace;
  SystemClock m_sleeper;
  SteadyClock m_clock;
  bool m_bCut = false;
  bool m_bWriteFailed = false;
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

bool CUnitSession::Fail(const char* text, const std::string& reason, ErrorCode code) {
  m_record.error = std::string(Tr(text)) + " " + Where() + ": " + reason;
  m_failure = code;
  return false;
}

bool CUnitSession::Fail(StepResult* step, const char* text, const std::string& reason,
                        ErrorCode code) {
  step->code = code;
  return Fail(text, reason, code);
}

void CUnitSession::FailAfter(ErrorCode code, const std::string& text) {
  m_record.error = text;
  m_failure = code;
}

void CUnitSession::OpenFailed(PortDiagnosis d) {
  // A port that is not there or is no serial line is not a unit; one this
  // user may not open, or another program holds, may well be one.
  m_bNothingAnswered = d.problem == PortProblem::kMissing || d.problem == PortProblem::kNoDevice ||
                       d.problem == PortProblem::kNotTerminal;
  d.mapKey = m_target.mapKey;
  const std::string first = m_target.comNumber != 0
                                ? TextWith(Tr(kTextOpenFailed), m_target.comNumber)
                                : TextWith(Tr(kTextPathOpenFailed), m_target.device);
  // The open decides the problem; "none" would only come of a port object
  // that gave no reason, and still names the device.
  m_record.error = first + " " + DescribeDevice(d, CurrentLanguage()) + ": " +
                   (d.problem == PortProblem::kNone ? std::string(Tr("could not be opened"))
                                                    : DescribeProblem(d, CurrentLanguage()));
  m_failure = OpenErrorCode(d.problem);
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
    m_trace.Event("close", Tr("cannot open"));
    m_port.Close();
    OpenFailed(DiagnoseOpenError(m_target.device, error, m_options.roots.sys, m_options.roots.dev));
    return false;
  }
  m_port.SetLineControl(1, 0);
  m_port.SetRts(1);

  const std::string speed = " (" + std::to_string(m_options.baud) + " bit/s)";
  std::string reason;
  StepResult* step = Exchange("", &reason);
  if (step == nullptr) return false;
  m_bNothingAnswered = m_nBytesSeen == 0;
  if (step->code != ErrorCode::kNone) {
    return Fail(kTextNoComm, Detail(Tr("prompt"), step->reply, reason) + speed, step->code);
  }
  // The window compares as C strings: the text up to a NUL.
  if (std::strcmp(step->reply.c_str(), kUnitPrompt) != 0) {
    return Fail(step, kTextNoComm, Detail(Tr("prompt"), step->reply, reason) + speed,
                ErrorCode::kBadPrompt);
  }
  step = Exchange("V", &reason);
  if (step == nullptr) return false;
  if (step->code != ErrorCode::kNone) {
    return Fail(kTextBadComm, Detail(Tr("version reply"), step->reply, reason) + speed, step->code);
  }
  if (step->reply[0] != 'V') {
    return Fail(step, kTextBadComm, Detail(Tr("version reply"), step->reply, reason) + speed,
                ErrorCode::kBadVersion);
  }
  m_record.version = step->reply.substr(0, std::strlen(step->reply.c_str()));
  return true;
}

bool CUnitSession::ReadParams(UnitParams* params) {
  std::string reason;
  StepResult* step = Exchange("R", &reason);
  if (step == nullptr) return false;
  const std::string& reply = step->reply;
  if (step->code != ErrorCode::kNone) {
    return Fail(kTextNoComm, Detail(Tr("reply"), reply, reason), step->code);
  }
  const ReadReplyResult result =
      ParseReadReply(reply.c_str(), static_cast<int>(reply.size()), params);
  if (result == ReadReplyResult::kWrongLength) {
    return Fail(
        step, kTextBadData,
        Detail(Tr("reply"), reply, reason) + " " +
            TrF("(%s characters; four values take 17 or 18)", {std::to_string(reply.size())}),
        ErrorCode::kBadReply);
  }
  if (result != ReadReplyResult::kOk) {
    const size_t nul = reply.find('\0');
    return Fail(step, kTextBadData,
                Detail(Tr("reply"), reply, reason) + " (" +
                    TrF("%s characters but not four values", {std::to_string(reply.size())}) +
                    (nul == std::string::npos ? std::string()
                                              : "; " + TrF("cut short by a NUL at character %s",
                                                           {std::to_string(nul + 1)})) +
                    ")",
                ErrorCode::kBadReply);
  }
  return true;
}

bool CUnitSession::WriteParams(const UnitParams& params) {
  const std::string command = FormatWriteCommand(params);
  std::string reason;
  StepResult* step = Exchange(command, &reason);
  if (step == nullptr) return false;
  if (step->code != ErrorCode::kNone) {
    return Fail(kTextNoComm, Detail(TrF("reply to \"%s\"", {command}), step->reply, reason),
                step->code);
  }
  if (m_options.pace == Pace::kFixed) m_sleeper.Sleep(kWritePauseMs);
  if (std::strcmp(step->reply.c_str(), "OK") != 0) {
    return Fail(step, kTextWriteFailed,
                Detail(TrF("reply to \"%s\"", {command}), step->reply, reason),
                ErrorCode::kRejected);
  }
  return true;
}

bool CUnitSession::Verify(const UnitParams& written) {
  UnitParams back{};
  if (!ReadParams(&back)) return false;
  if (!SameParams(back, written)) {
    return Fail(&m_steps.back(), kTextWriteFailed,
                TrF("the values read back after \"OK\" differ (written: %s; read back: %s)",
                    {DescribeParams(written), DescribeParams(back)}),
                ErrorCode::kVerifyMismatch);
  }
  return true;
}

StepResult* CUnitSession::Exchange(const std::string& cmd, std::string* reason) {
  if (m_interrupted.Requested()) {
    m_bInterrupted = true;
    return nullptr;
  }
  m_steps.push_back({});
  StepResult* step = &m_steps.back();
  step->command = cmd;
  char buf[kReplyCap];
  reason->clear();
  int count = 0;
  m_nBytesSeen = 0;
  CPortView view(m_port, m_interrupted, &m_nBytesSeen, step, m_trace);
  bool timedOut = false;
  if (m_options.pace == Pace::kFixed) {
    count = TransactOn(view, view, cmd.c_str(), buf, kReplyCap);
    view.LookForLoss();
  } else {
    const FastReply r =
        FastTransactOn(view, m_clock, cmd.c_str(), buf, kReplyCap, m_options.timeoutMs);
    count = r.count;
    timedOut = r.end == FastEnd::kTimeout;
    if (r.end == FastEnd::kLineLost) step->lineLost = true;
  }
  step->reply.assign(buf, static_cast<size_t>(count));
  if (view.Cut()) {
    m_bInterrupted = true;
    return nullptr;
  }
  if (view.WriteFailed()) {
    // The line did not go out (whole): nothing after it was read.
    *reason = Tr(kReasonNotSent);
    step->code = ErrorCode::kHangup;
  } else if (step->lineLost) {
    // A lost line is no fault of the speed, whatever came before it.
    *reason = Tr("the line went down");
    step->code = ErrorCode::kHangup;
  } else if (count == 0 && m_nBytesSeen > 0) {
    // Bytes came, but not one line of echo and reply: most often the unit
    // talks at another speed.
    *reason = timedOut ? TrF("%s bytes came but made no reply (timeout %s ms; if the unit "
                             "talks at another speed, give it with -b)",
                             {std::to_string(m_nBytesSeen), std::to_string(m_options.timeoutMs)})
                       : TrF("%s bytes came but made no reply (if the unit talks at another "
                             "speed, give it with -b)",
                             {std::to_string(m_nBytesSeen)});
    step->code = ErrorCode::kNoise;
  } else if (count == 0) {
    *reason = timedOut ? TrF("no reply (timeout %s ms)", {std::to_string(m_options.timeoutMs)})
                       : std::string(Tr("no reply"));
    step->code = ErrorCode::kNoAnswer;
  } else if (timedOut) {
    *reason = TrF("the reply does not end (timeout %s ms)", {std::to_string(m_options.timeoutMs)});
  }
  return step;
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
    if (m_bInterrupted || m_port.LastOpenError().problem != PortProblem::kNone) return false;
    anyBytes = anyBytes || !m_bNothingAnswered;
  }
  m_bNothingAnswered = !anyBytes;
  m_record.baud = 0;
  std::string list;
  for (int baud : speeds) list += (list.empty() ? "" : ", ") + std::to_string(baud);
  if (!anyBytes) {
    return Fail(kTextNoComm, TrF("no reply at any speed (%s bit/s)", {list}), ErrorCode::kNoAnswer);
  }
  m_record.error += " [" + TrF("speeds tried: %s bit/s", {list}) + "]";
  return false;
}

void CUnitSession::Finish(bool ok) {
  if (m_port.IsOpen()) m_trace.Event("close", "");
  m_port.Close();
  m_record.elapsedMs = m_clock.NowMs() - m_llStartMs;
  JudgeSteps(m_steps, ok, m_bInterrupted, m_failure, &m_record);
  const bool noVerdict = m_record.state == UnitState::kUnknown;
  if (ok) {
    m_record.outcome = UnitOutcome::kOk;
    m_record.error.clear();
  } else if (m_bInterrupted) {
    m_record.outcome = UnitOutcome::kInterrupted;
    m_record.error = std::string(Tr(kTextInterrupted)) + " " + Where() +
                     (noVerdict ? ": " + StateNote(m_record) : "");
  } else {
    m_record.outcome = UnitOutcome::kFailed;
    if (noVerdict) m_record.error += " [" + StateNote(m_record) + "]";
  }
  // The verdict beside the bytes, so that a trace alone tells the story.
  const char* code = ErrorCodeName(m_record.errorCode);
  m_trace.Event("end", std::string(OutcomeName(m_record.outcome)) +
                           (code == nullptr ? "" : std::string(" ") + code + ": ") +
                           m_record.error);
}
