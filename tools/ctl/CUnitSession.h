// CUnitSession: one unit on one port, for one command of a batch.
//
// It owns its port object and its record; the batch gives every unit a
// session of its own on a thread of its own, so nothing here is shared but
// the interrupt state, which is only read. Each step checks it before it
// sends anything and then runs its exchange to the end, so a first interrupt
// never leaves half a command on the line; after a second one the waits in
// flight end within a slice of kGiveUpSliceMs and the unit is interrupted.
// Pacing "fixed" is the window's exchange with the window's waits; "fast" is
// FastTransactOn with a time-out.
//
// Every step applies the window's rules to the reply and, on failure, puts
// the window's text, the port and the reason into the record and returns
// false. Each exchange is kept as a StepResult (what was sent, what came
// back, the step's code); Finish derives the record's facts from them
// (JudgeSteps), so a record never claims a line that did not go out.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "CComPort.h"
#include "CtlPlatform.h"
#include "CtlRecord.h"
#include "CtlTrace.h"
#include "FastTransact.h"
#include "ParamReply.h"
#include "PortDiagnosis.h"
#include "Transact.h"

enum class Pace { kFixed, kFast };

struct UnitTarget {
  std::string name;                // "COM3" or the path as given
  int comNumber = 0;               // 0 for a path
  std::string device;              // the resolved path
  std::string mapKey;              // "com3" when the [ports] map gave the path
  std::optional<UnitParams> plan;  // this unit's own values (apply --plan)
  int planRow = 0;                 // the plan's line that gave them
};

struct SessionOptions {
  int baud = 38400;
  Pace pace = Pace::kFixed;
  int timeoutMs = kDefaultFastTimeoutMs;
  DeviceRoots roots;
  CTraceSink* trace = nullptr;  // --trace, shared by the units
};

// scan: how long each speed is given to answer the prompt.
inline constexpr int kDefaultScanWaitMs = 150;

// How often a wait looks whether the user has given up.
inline constexpr int kGiveUpSliceMs = 20;

class CUnitSession {
 public:
  CUnitSession(const UnitTarget& target, const SessionOptions& options, const std::string& command,
               const InterruptState& interrupted);

  // Opens the port as the window connects, checks the prompt and reads the
  // version.
  bool Connect();
  // "R" and the window's reply rules.
  bool ReadParams(UnitParams* params);
  // "S" and an exact "OK".
  bool WriteParams(const UnitParams& params);
  // Reads back and compares with what was written.
  bool Verify(const UnitParams& written);
  // scan: the prompt and version at each speed in turn until one answers;
  // a port that another program holds or this user may not open is
  // reported, not probed.
  bool Scan(const std::vector<int>& speeds);

  // Ends the record: its facts from the steps (JudgeSteps), the outcome,
  // the elapsed time, the port closed.
  void Finish(bool ok);
  // A failure of the command after the exchanges (save: the file).
  void FailAfter(ErrorCode code, const std::string& text);
  UnitRecord& Record() { return m_record; }
  const UnitTarget& Target() const { return m_target; }
  // Whether nothing answered: the device is not there, or it opened and not
  // one byte came to the prompt check (for --all, where such a port is not a
  // unit).
  bool NothingAnswered() const { return m_bNothingAnswered; }

 private:
  class CPortView;
  // One exchange with the chosen pacing, its result appended to the
  // session's steps; nullptr (nothing sent) when interrupted before it.
  StepResult* Exchange(const std::string& cmd, std::string* reason);
  // The step failed by the rules of its command: its code, and the
  // record's text.
  bool Fail(StepResult* step, const char* text, const std::string& reason, ErrorCode code);
  bool Fail(const char* text, const std::string& reason, ErrorCode code);
  // The record of a port that did not open, from its diagnosis.
  void OpenFailed(PortDiagnosis diagnosis);
  std::string Where() const;

  UnitTarget m_target;
  SessionOptions m_options;
  const InterruptState& m_interrupted;
  CComPort m_port;
  SystemClock m_sleeper;
  SteadyClock m_clock;
  UnitRecord m_record;
  long long m_llStartMs;
  CTraceTap m_trace;
  bool m_bNothingAnswered = false;
  bool m_bInterrupted = false;
  int m_nBytesSeen = 0;  // by the last exchange, echo and leftovers included
  std::vector<StepResult> m_steps;
  // A failure outside the exchanges (the open, the profile file).
  ErrorCode m_failure = ErrorCode::kNone;
};
