#include "CtlBatch.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "CliText.h"
#include "CtlText.h"
#include "DeviceWatcher.h"
#include "ToolConsole.h"
#include "version.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressEvery = std::chrono::milliseconds(200);
// Below this width the progress line would wrap; it is left out.
constexpr int kMinProgressColumns = 40;

std::string Where(const UnitRecord& r) {
  return r.port == r.device ? r.port : r.port + " (" + r.device + ")";
}

std::string Printable(const std::string& bytes) {
  for (char c : bytes) {
    if (c < 0x20 || c >= 0x7F) return EscapeBytes(bytes);
  }
  return bytes;
}

class CBatchSink {
 public:
  CBatchSink(const BatchOutput& output, int total)
      : m_output(output), m_nTotal(total), m_start(Clock::now()) {
    m_bProgress = output.progress && (output.columns == 0 || output.columns >= kMinProgressColumns);
  }

  // A unit's record, index its place among the targets. Its lines on the
  // standard streams go out in the order of the ports, not of their
  // ending, so that two runs compare line by line: a line waits for the
  // units before it.
  void Unit(size_t index, const UnitRecord& r) {
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (r.outcome) {
      case UnitOutcome::kOk:
        ++m_counts.ok;
        if (r.target && r.before) ++(r.changed ? m_counts.changed : m_counts.unchanged);
        break;
      case UnitOutcome::kFailed:
        ++m_counts.failed;
        break;
      case UnitOutcome::kInterrupted:
        ++m_counts.interrupted;
        break;
      case UnitOutcome::kSkipped:
        ++m_counts.skipped;
        break;
    }
    ++m_nDone;
    // The record file takes each record as its unit ends: what a killed
    // batch leaves there is every unit that ended (each names its port).
    // After the first record the file refused, the file ends there: a later
    // line would leave a gap no reader could see.
    if (m_output.record != nullptr) {
      if (m_counts.recordsLost > 0 || !m_output.record->Append(RecordJson(r) + "\n")) {
        ++m_counts.recordsLost;
      }
    }
    m_waiting.emplace(index, r);
    ClearProgress();
    for (auto it = m_waiting.begin(); it != m_waiting.end() && it->first == m_nNext;
         it = m_waiting.erase(it), ++m_nNext) {
      Emit(it->second);
    }
    DrawProgress();
  }

  void Tick() {
    std::lock_guard<std::mutex> lock(m_mutex);
    DrawProgress();
  }

  BatchCounts End() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ClearProgress();
    m_bProgress = false;
    return m_counts;
  }

 private:
  void Emit(const UnitRecord& r) {
    m_counts.records.push_back(r);
    bool shown = true;
    if (m_output.json) {
      shown = WriteStdout(RecordJson(r) + "\n");
    } else if (r.outcome == UnitOutcome::kOk && m_output.human) {
      shown =
          m_output.okToStderr ? WriteStderr(HumanLine(r) + "\n") : WriteStdout(HumanLine(r) + "\n");
    }
    if (!shown) ++m_counts.stdoutLost;
    if (r.outcome != UnitOutcome::kOk && m_output.human) WriteStderr(HumanLine(r) + "\n");
  }

  void DrawProgress() {
    if (!m_bProgress) return;
    const double secs = std::chrono::duration<double>(Clock::now() - m_start).count();
    // The counts in the summary's words, so that the last progress line and
    // the summary never disagree.
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", secs);
    WriteStderr("\r" +
                TrF("%s/%s units  %s  %s s", {std::to_string(m_nDone), std::to_string(m_nTotal),
                                              SummaryLine(m_counts), elapsed}) +
                "\033[K");
    m_bShown = true;
  }
  void ClearProgress() {
    if (!m_bShown) return;
    WriteStderr("\r\033[K");
    m_bShown = false;
  }

  std::mutex m_mutex;
  BatchOutput m_output;
  int m_nTotal;
  int m_nDone = 0;
  size_t m_nNext = 0;                      // the next index to go out
  std::map<size_t, UnitRecord> m_waiting;  // ended, behind an earlier unit
  BatchCounts m_counts;
  Clock::time_point m_start;
  bool m_bProgress = false;
  bool m_bShown = false;
};

}  // namespace

RecordStamp StampOfRun(const std::string& operatorName, const DeviceRoots& roots) {
  RecordStamp s;
  s.toolVersion = ZETA7_VERSION_STRING;
  s.host = HostName();
  s.operatorName = operatorName.empty() ? LoginName() : operatorName;
  s.roots = roots;
  return s;
}

void StampRecord(UnitRecord* r, const RecordStamp& s, int planRow) {
  r->endTime = UtcNow();
  r->toolVersion = s.toolVersion;
  r->host = s.host;
  r->operatorName = s.operatorName;
  if (r->command == "apply" || r->command == "station") {
    r->plan = s.plan;
    r->planSha256 = s.planSha256;
    r->planRow = planRow;
  }
  if (r->usbSerial.empty() && !r->device.empty()) {
    const std::string identity = DeviceIdentity(r->device);
    for (const PresentDevice& d : ListPresentDevices(s.roots)) {
      if (!d.serial.empty() && DeviceIdentity(d.device) == identity) r->usbSerial = d.serial;
    }
  }
}

std::string SummaryLine(const BatchCounts& c) {
  std::string line = TrF("done %s", {std::to_string(c.ok)});
  if (c.changed + c.unchanged > 0) {
    line += " " + TrF("(changed %s, unchanged %s)",
                      {std::to_string(c.changed), std::to_string(c.unchanged)});
  }
  line += TrF(", failed %s, skipped %s", {std::to_string(c.failed), std::to_string(c.skipped)});
  if (c.interrupted > 0) line += TrF(", interrupted %s", {std::to_string(c.interrupted)});
  return line;
}

std::string HumanLine(const UnitRecord& r) {
  if (r.outcome != UnitOutcome::kOk) {
    const std::string text =
        r.error.empty() ? std::string(Tr(kTextInterrupted)) + " " + Where(r) : r.error;
    return r.outcome == UnitOutcome::kSkipped ? std::string(Tr("(skipped) ")) + text : text;
  }
  std::string line = Where(r) + ": ";
  const std::string version = TextWith(Tr(kTextVersionLine), Printable(r.version));
  if (r.command == "info") return line + version;
  if (r.command == "read" && r.before) return line + DescribeParams(*r.before);
  if (r.command == "save" && r.before) {
    return line + Tr("saved: ") + DescribeParams(*r.before);
  }
  if (r.command == "scan") {
    return line + std::to_string(r.baud) + " bit/s, " + version +
           (r.usbSerial.empty() ? "" : Tr(", USB serial number ") + Printable(r.usbSerial));
  }
  if (r.before && r.target && (r.check || !r.writeSent)) {
    const std::string change = DescribeChange(*r.before, *r.target);
    if (r.check) {
      return line + (r.changed ? Tr("would change (--check): ") : Tr("unchanged (--check): ")) +
             (r.changed ? change : DescribeParams(*r.before));
    }
    return line + Tr("unchanged (already the same values): ") + DescribeParams(*r.before);
  }
  if (r.after) {
    line += std::string(Tr(kTextWriteDone)) + ": " + DescribeParams(*r.after);
    if (r.withDiff && r.before) line += " [" + DescribeChange(*r.before, *r.after) + "]";
    return line;
  }
  return line + Tr("done");
}

BatchCounts RunBatch(const std::vector<UnitTarget>& targets, const SessionOptions& options,
                     const std::string& command, bool skipAbsent, const UnitJob& job,
                     const BatchOutput& output, const InterruptState& interrupted,
                     const ThreadStart& start) {
  CBatchSink sink(output, static_cast<int>(targets.size()));
  std::mutex doneMutex;
  std::condition_variable doneSignal;
  size_t finished = 0;
  auto unitEnded = [&] {
    std::lock_guard<std::mutex> lock(doneMutex);
    ++finished;
    doneSignal.notify_one();
  };

  std::vector<std::thread> threads;
  threads.reserve(targets.size());
  for (size_t index = 0; index < targets.size(); ++index) {
    const UnitTarget& target = targets[index];
    auto work = [&, target, index] {
      CUnitSession session(target, options, command, interrupted);
      const bool ok = job(session);
      session.Finish(ok);
      UnitRecord& record = session.Record();
      if (output.stamp != nullptr) StampRecord(&record, *output.stamp, target.planRow);
      if (!ok && skipAbsent && session.NothingAnswered() &&
          record.outcome == UnitOutcome::kFailed) {
        record.outcome = UnitOutcome::kSkipped;
      }
      sink.Unit(index, record);
      unitEnded();
    };
    try {
      threads.push_back(start ? start(work) : std::thread(work));
    } catch (const std::exception& e) {
      // The system has no thread to give (a process or memory limit): this
      // unit fails untouched, the others go on.
      CUnitSession session(target, options, command, interrupted);
      session.Finish(false);
      session.Record().error =
          std::string(Tr(kTextThreadFailed)) + " " + target.name + ": " + e.what();
      session.Record().errorCode = ErrorCode::kThreadFailed;
      if (output.stamp != nullptr) StampRecord(&session.Record(), *output.stamp, target.planRow);
      sink.Unit(index, session.Record());
      unitEnded();
    }
  }
  {
    std::unique_lock<std::mutex> lock(doneMutex);
    while (finished < targets.size()) {
      doneSignal.wait_for(lock, kProgressEvery);
      lock.unlock();
      sink.Tick();
      lock.lock();
    }
  }
  for (std::thread& t : threads) t.join();
  return sink.End();
}
