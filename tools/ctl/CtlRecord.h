// The record of one unit in a batch, and its forms: one JSON line for
// --record and --json, one human line for the terminal. Plain values; the
// unit's thread fills its own record, the main thread writes it out.
#pragma once

#include <optional>
#include <string>

#include "ParamReply.h"

enum class UnitOutcome {
  kOk,
  kFailed,
  kInterrupted,  // Ctrl+C came before the unit's work was done
  kSkipped       // --all: the port did not answer the prompt; not a unit
};

struct UnitRecord {
  std::string time;     // start, UTC, ISO 8601
  std::string command;  // "info", "read", "write", "apply", "save"
  std::string port;     // as given: "COM3" or a device path
  std::string device;   // the path it led to
  int baud = 0;
  std::string pace;     // "fixed" or "fast"
  std::string version;  // the unit's bytes as received, empty before V
  std::optional<UnitParams> before;
  std::optional<UnitParams> after;
  UnitOutcome outcome = UnitOutcome::kFailed;
  std::string error;  // why, with the port; empty on success
  long long elapsedMs = 0;
};

const char* OutcomeName(UnitOutcome outcome);

// One line of JSON, without the line end. Texts from the unit are taken as
// Latin-1 (as the window shows them); the program's own texts are UTF-8.
std::string RecordJson(const UnitRecord& record);

// "チャネル 12, ID 3, リトライ回数 5, リトライ間隔[msec] 1000" (無限リトライ for -1).
std::string DescribeParams(const UnitParams& params);

// Bytes as printable ASCII in quotes: \r, \n, \\, \" and \xNN for the rest,
// so a wrong speed shows as garbage and a silent unit as "".
std::string EscapeBytes(const std::string& bytes);

// The current time, UTC, ISO 8601 with milliseconds.
std::string UtcNow();
