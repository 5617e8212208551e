// Per-unit plans: a CSV file with a header row naming the columns port,
// channel, id, retry_count ("infinite" allowed) and retry_interval, in any
// order, other columns ignored; one row a unit. Read as spreadsheets write
// it: a UTF-8 byte-order mark, CRLF, quoted fields (with "" for a quote and
// line breaks inside), blank lines and a trailing empty line. The whole file
// is checked before anything is sent: every bad row gives its own message
// with its line number. Pure but for the file access; main thread.
#pragma once

#include <string>
#include <vector>

#include "ParamReply.h"

struct PlanRow {
  int line = 0;      // where the row begins, from 1
  std::string port;  // COM name, device path or USB serial number, as written
  UnitParams params{};
};

struct PlanError {
  int line = 0;  // 0 for the file as a whole
  std::string text;
};

// The good rows in *rows; false with one message per fault in *errors (the
// text without the file's name and line).
bool ParsePlan(const std::string& text, std::vector<PlanRow>* rows, std::vector<PlanError>* errors);
bool ReadPlan(const std::string& path, std::vector<PlanRow>* rows, std::vector<PlanError>* errors);

// "<name> line <n>: <text>" (in Japanese "<name> <n> 行目: <text>"), or
// "<name>: <text>" for the whole file.
std::string PlanErrorText(const std::string& name, const PlanError& error);

// The USB serial number in a /dev/serial/by-id name as udev makes it,
// "usb-<vendor>_<product>_<serial>-if00-port0" -> "<serial>"; "" for a name
// of another form.
std::string UsbSerialOfByIdName(const std::string& name);
