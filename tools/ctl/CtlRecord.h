// The record of one unit in a batch, and its forms: one JSON line for
// --record and --json, one human line for the terminal. Plain values; the
// unit's thread fills its own record, the main thread writes it out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ParamReply.h"

enum class UnitOutcome {
  kOk,
  kFailed,
  kInterrupted,  // Ctrl+C came before the unit's work was done
  kSkipped       // --all: nothing answered on the port; not a unit
};

// What the unit holds after the command, as far as the program can tell.
enum class UnitState {
  kUnchanged,  // no "S" went out
  kUnknown,    // "S" went out, but no "OK" came, or no read-back after it
  kVerified,   // read back as written
  kDiffers     // "OK", but read back otherwise
};

// The stable codes of the record's error_code, for scripts and the
// configuration engine to decide on (the text beside them is for people).
// The man page lists them; a code once given keeps its meaning and its name
// (ErrorCodeName, one table).
enum class ErrorCode {
  kNone,
  kOpenMissing,     // no device there
  kOpenPermission,  // this user may not open it
  kOpenBusy,        // another program holds it
  kNotSerial,       // opens, but is no serial line
  kOpenFailed,      // any other refusal
  kNoAnswer,        // not one byte came
  kNoise,           // bytes, but no line (another speed?)
  kBadPrompt,       // an answer that is not "ZETA7>"
  kBadVersion,
  kBadReply,  // the R reply breaks the rules
  kRejected,  // "S" answered otherwise than "OK"
  kVerifyMismatch,
  kHangup,        // the line was lost
  kStateUnknown,  // "S" went out, no verdict
  kInterrupted,
  kThreadFailed,
  kSaveFailed,  // the profile file was not written
  // The station's refusals: nothing was sent to the unit.
  kNoPlanRow,     // the plan has no row of the unit's serial number
  kNoSerial,      // a plan, and the unit has no USB serial number
  kSharedSerial,  // two devices of one serial number
  kAlreadyDone,   // done with the same values before (skipped, not failed)
};

// The record's name of code ("open_missing"); nullptr for kNone.
const char* ErrorCodeName(ErrorCode code);

// What one exchange of a unit's session did: the line it sent, whether it
// went out, what came back, and the step's verdict. The record's facts are
// a function of these (JudgeSteps).
struct StepResult {
  std::string command;                // without CR LF: "", "V", "R", "S 20 4 -1 500"
  bool sent = false;                  // the line went out whole
  bool lineLost = false;              // the device reported the line gone
  std::string reply;                  // the reply line as collected, empty for none
  ErrorCode code = ErrorCode::kNone;  // kNone: the step met its rules
};

struct UnitRecord {
  std::string time;     // start, UTC, ISO 8601
  std::string command;  // "info", "read", "write", "apply", "save"
  std::string port;     // as given: "COM3" or a device path
  std::string device;   // the path it led to
  int baud = 0;
  std::string pace;         // "fixed" or "fast"
  std::string version;      // the unit's bytes as received, empty before V
  bool writeSent = false;   // an "S" command went out
  bool okReceived = false;  // and its "OK" came back
  UnitState state = UnitState::kUnchanged;
  std::optional<UnitParams> before;
  std::optional<UnitParams> after;   // as read after the command
  std::optional<UnitParams> target;  // what write and apply aim at
  // The unit's values were changed (with check: would be); false when it
  // already held the target, or "S" never went out.
  bool changed = false;
  bool check = false;     // --check: read and compared, nothing written
  bool withDiff = false;  // --diff: the record carries "diff"
  std::string usbSerial;  // scan: the adapter's serial number, when known
  UnitOutcome outcome = UnitOutcome::kFailed;
  ErrorCode errorCode = ErrorCode::kNone;
  std::string error;  // why, with the port; empty on success
  long long elapsedMs = 0;
  // Who, where and with what, for an audit; appended after elapsed_ms so
  // that the fields before it keep their bytes.
  std::string endTime;       // UTC, ISO 8601
  std::string toolVersion;   // zeta7ctl's own
  std::string host;          // the computer's name
  std::string operatorName;  // --operator, else the login name
  std::string plan;          // apply, station: the profile's or plan's file name as given
  std::string planSha256;    // of its bytes
  int planRow = 0;           // --plan: the line of the row the unit got (0: a profile)
};

bool SameParams(const UnitParams& a, const UnitParams& b);

// The record's facts from the steps of its session, in order (the session
// stops at the first step that fails): write_sent (an "S" line went out
// whole), ok_received (and "OK" came back), unit_state, after (the read-back
// after the "S"), changed and error_code. failure is the code of a failure
// outside the steps (open, save), else kNone; r's before, target and check
// are read, and without an "S" its after is kept. A write whose verdict
// never came (silence, noise or a lost line after it, or an interrupt)
// leaves the unit's state unknown and, when it failed so, is
// state_unknown.
void JudgeSteps(const std::vector<StepResult>& steps, bool ok, bool interrupted, ErrorCode failure,
                UnitRecord* r);
// "Channel 12 → 20, ID 3 → 4": the values that differ, or "no change", in
// the user's language.
std::string DescribeChange(const UnitParams& before, const UnitParams& after);

const char* OutcomeName(UnitOutcome outcome);

const char* UnitStateName(UnitState state);

// One line of JSON, without the line end, valid UTF-8 whatever the bytes:
// every text is read as UTF-8, as the window shows the unit's text, and a
// byte that is not part of UTF-8 (a device path with 0xFF, noise from the
// unit) becomes U+FFFD; control characters are escaped.
std::string RecordJson(const UnitRecord& record);
// One JSON string with its quotes, by the same rule.
std::string JsonString(const std::string& text);

// "Channel 12, ID 3, Retry count 5, Retry interval[msec] 1000" ("Infinite
// retry" for -1), in the user's language.
std::string DescribeParams(const UnitParams& params);

// Bytes as printable ASCII in quotes: \r, \n, \\, \" and \xNN for the rest,
// so a wrong speed shows as garbage and a silent unit as "".
std::string EscapeBytes(const std::string& bytes);

// The current time, UTC, ISO 8601 with milliseconds.
std::string UtcNow();
