// zeta7ctl report: a record file summed up, one line a unit (by its USB
// serial number, else by its port) with its last outcome, its values and
// when; --csv for a spreadsheet. The reader is also how the station learns
// which units earlier runs have done. Pure but for the file; main thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CtlOptions.h"
#include "ParamReply.h"

// What the summary needs of one record line.
struct RecordSummary {
  std::string time;  // the end where the record has one, else the start
  std::string command;
  std::string port;
  std::string usbSerial;
  std::string version;
  std::string outcome;
  std::string errorCode;
  std::string error;
  bool check = false;
  std::optional<UnitParams> target;
  std::optional<UnitParams> values;  // after, else before
};

// Every line that is a record, in file order; a line that is not JSON is
// counted in *bad (a record cut by a crash) and skipped. False with a
// message when the file cannot be read.
bool ReadRecordSummaries(const std::string& path, std::vector<RecordSummary>* records, int* bad,
                         std::string* error);

// The last record of each unit, in the order the units first appear.
std::vector<RecordSummary> LastOfEachUnit(const std::vector<RecordSummary>& records);

// The summary's text: a line a unit, or CSV with a header row.
std::string ReportText(const std::vector<RecordSummary>& units, bool csv);

int RunReport(const CtlCommand& c);
