// Runs one command on many units at once: a thread and a session for each
// unit, the records written out as each unit ends (JSON lines to the record
// file and, with --json, to standard output; a human line otherwise) and a
// progress line while standard output is a terminal.
//
// The output object is shared by the unit threads and the main thread and
// guarded by one mutex; every record goes out as one whole line, flushed,
// so an interrupted or killed batch leaves every finished unit's record.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CUnitSession.h"

struct BatchOutput {
  std::FILE* record = nullptr;  // --record, opened for appending
  bool json = false;
  bool human = true;  // a line per unit when not json (failures go to stderr)
  bool progress = false;
  int columns = 0;
};

struct BatchCounts {
  int ok = 0;
  int failed = 0;
  int interrupted = 0;
  int skipped = 0;
  std::vector<UnitRecord> records;  // in the order the units ended
};

// The work for one unit; returns whether it succeeded. The session's record
// is then finished and written out.
using UnitJob = std::function<bool(CUnitSession&)>;

// skipAbsent: a port that does not open or answer the prompt is recorded as
// skipped (--all), not as failed.
BatchCounts RunBatch(const std::vector<UnitTarget>& targets, const SessionOptions& options,
                     const std::string& command, bool skipAbsent, const UnitJob& job,
                     const BatchOutput& output, const std::atomic<bool>& interrupted);

// The human line of a finished unit.
std::string HumanLine(const UnitRecord& record);
