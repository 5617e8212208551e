// Runs one command on many units at once: a thread and a session for each
// unit, each record appended to the record file as its unit ends, the lines
// on the standard streams (JSON with --json, a human line otherwise) in the
// order of the targets, and a progress line on standard error while it is a
// terminal.
//
// The output object is shared by the unit threads and the main thread and
// guarded by one mutex; every record goes out as one whole line, flushed,
// so an interrupted or killed batch leaves every finished unit's record in
// the record file.
// What could not be written is counted, never passed over.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CUnitSession.h"
#include "CtlPlatform.h"

// What every record carries beside the unit's own: the tool, the computer,
// who ran it and, for apply, what was applied.
struct RecordStamp {
  std::string toolVersion;
  std::string host;
  std::string operatorName;
  std::string plan;        // the profile's or plan's name as given; "" for other commands
  std::string planSha256;  // of its bytes
  DeviceRoots roots;       // where a unit's USB serial number is looked up
};
// The stamp of this run: --operator, else the login name.
RecordStamp StampOfRun(const std::string& operatorName, const DeviceRoots& roots);
// Fills the stamp's fields, the end time and (where the record has none)
// the USB serial number of the record's device.
void StampRecord(UnitRecord* record, const RecordStamp& stamp, int planRow);

struct BatchOutput {
  const RecordStamp* stamp = nullptr;
  CRecordFile* record = nullptr;  // --record, opened for appending
  bool json = false;
  bool human = true;        // a line per unit when not json (failures go to stderr)
  bool okToStderr = false;  // a done unit's line too (standard output carries other data)
  bool progress = false;
  int columns = 0;
};

struct BatchCounts {
  int ok = 0;
  int failed = 0;
  int interrupted = 0;
  int skipped = 0;
  int changed = 0;      // of the done units that had values to write (or, --check, would)
  int unchanged = 0;    // of those that held them already
  int recordsLost = 0;  // records the record file did not take
  int stdoutLost = 0;   // lines standard output did not take
  std::vector<UnitRecord> records;  // in the order of the targets
};

// The work for one unit; returns whether it succeeded. The session's record
// is then finished and written out.
using UnitJob = std::function<bool(CUnitSession&)>;
// Starts a unit's thread; throws std::system_error as std::thread does when
// the system has none to give.
using ThreadStart = std::function<std::thread(std::function<void()>)>;

// skipAbsent: a port where nothing answers is recorded as skipped (--all),
// not as failed. A unit whose thread cannot start fails; the others go on.
BatchCounts RunBatch(const std::vector<UnitTarget>& targets, const SessionOptions& options,
                     const std::string& command, bool skipAbsent, const UnitJob& job,
                     const BatchOutput& output, const InterruptState& interrupted,
                     const ThreadStart& start = {});

// The human line of a finished unit.
std::string HumanLine(const UnitRecord& record);
// The last line of every batch: how many units were done, failed, skipped
// and interrupted.
std::string SummaryLine(const BatchCounts& counts);
