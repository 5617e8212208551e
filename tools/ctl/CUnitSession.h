// CUnitSession: one unit on one port, for one command of a batch.
//
// It owns its port object and its record; the batch gives every unit a
// session of its own on a thread of its own, so nothing here is shared but
// the interrupt flag, which is only read. Each step checks the flag before it
// sends anything and then runs its exchange to the end, so an interrupt never
// leaves half a command on the line. Pacing "fixed" is the window's exchange
// with the window's waits; "fast" is FastTransactOn with a time-out.
//
// Every step applies the window's rules to the reply and, on failure, puts
// the window's text, the port and the reason into the record and returns
// false.
#pragma once

#include <atomic>
#include <string>

#include "CComPort.h"
#include "CtlRecord.h"
#include "FastTransact.h"
#include "ParamReply.h"
#include "Transact.h"

enum class Pace { kFixed, kFast };

struct UnitTarget {
  std::string name;    // "COM3" or the path as given
  int comNumber = 0;   // 0 for a path
  std::string device;  // the resolved path
  std::string mapKey;  // "com3" when the [ports] map gave the path
};

struct SessionOptions {
  int baud = 38400;
  Pace pace = Pace::kFixed;
  int timeoutMs = kDefaultFastTimeoutMs;
};

class CUnitSession {
 public:
  CUnitSession(const UnitTarget& target, const SessionOptions& options, const std::string& command,
               const std::atomic<bool>& interrupted);

  // Opens the port as the window connects, checks the prompt and reads the
  // version.
  bool Connect();
  // "R" and the window's reply rules.
  bool ReadParams(UnitParams* params);
  // "S" and an exact "OK".
  bool WriteParams(const UnitParams& params);
  // Reads back and compares with what was written.
  bool Verify(const UnitParams& written);

  // Ends the record: outcome from the steps, the elapsed time, the port
  // closed.
  void Finish(bool ok);
  UnitRecord& Record() { return m_record; }
  // Whether the last failure was the prompt check or the open (for --all,
  // where such a port is not a unit).
  bool FailedBeforeUnit() const { return m_bFailedBeforeUnit; }

 private:
  // One exchange with the chosen pacing; false (record filled) when
  // interrupted before sending.
  bool Exchange(const char* cmd, std::string* reply, std::string* reason);
  bool Fail(const char* text, const std::string& reason);
  std::string Where() const;

  UnitTarget m_target;
  SessionOptions m_options;
  const std::atomic<bool>& m_interrupted;
  CComPort m_port;
  SystemClock m_sleeper;
  SteadyClock m_clock;
  UnitRecord m_record;
  long long m_llStartMs;
  bool m_bFailedBeforeUnit = false;
  bool m_bInterrupted = false;
  bool m_bWriteSent = false;  // an "S" went out: an interrupt then leaves it unverified
};
