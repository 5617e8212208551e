#include "CtlBatch.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

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

  void Unit(const UnitRecord& r) {
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (r.outcome) {
      case UnitOutcome::kOk:
        ++m_counts.ok;
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
    m_counts.records.push_back(r);
    ClearProgress();
    const std::string json = RecordJson(r) + "\n";
    // After the first record the file refused, the file ends there: a later
    // line would leave a gap no reader could see.
    if (m_output.record != nullptr) {
      if (m_counts.recordsLost > 0 || !m_output.record->Append(json)) ++m_counts.recordsLost;
    }
    bool shown = true;
    if (m_output.json) {
      shown = WriteStdout(json);
    } else if (r.outcome == UnitOutcome::kOk && m_output.human) {
      shown =
          m_output.okToStderr ? WriteStderr(HumanLine(r) + "\n") : WriteStdout(HumanLine(r) + "\n");
    }
    if (!shown) ++m_counts.stdoutLost;
    if (r.outcome != UnitOutcome::kOk && m_output.human) WriteStderr(HumanLine(r) + "\n");
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
  void DrawProgress() {
    if (!m_bProgress) return;
    const double secs = std::chrono::duration<double>(Clock::now() - m_start).count();
    // The counts in the summary's words, so that the last progress line and
    // the summary never disagree.
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "  経過 %.1f 秒\033[K", secs);
    WriteStderr("\r" + std::to_string(m_nDone) + "/" + std::to_string(m_nTotal) + " 台  " +
                SummaryLine(m_counts) + elapsed);
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
  std::string line = "完了 " + std::to_string(c.ok) + ", 失敗 " + std::to_string(c.failed) +
                     ", 対象外 " + std::to_string(c.skipped);
  if (c.interrupted > 0) line += ", 中断 " + std::to_string(c.interrupted);
  return line;
}

std::string HumanLine(const UnitRecord& r) {
  if (r.outcome != UnitOutcome::kOk) {
    const std::string text =
        r.error.empty() ? std::string(kTextInterrupted) + " " + Where(r) : r.error;
    return r.outcome == UnitOutcome::kSkipped ? "(対象外) " + text : text;
  }
  std::string line = Where(r) + ": ";
  if (r.command == "info") return line + kTextVersionLine + Printable(r.version);
  if (r.command == "read" && r.before) return line + DescribeParams(*r.before);
  if (r.command == "save" && r.before) return line + "保存しました: " + DescribeParams(*r.before);
  if (r.command == "scan") {
    return line + std::to_string(r.baud) + " bit/s, " + kTextVersionLine + Printable(r.version) +
           (r.usbSerial.empty() ? "" : ", USB シリアル番号 " + Printable(r.usbSerial));
  }
  if (r.before && r.target && (r.check || !r.writeSent)) {
    const std::string change = DescribeChange(*r.before, *r.target);
    if (r.check)
      return line + (r.changed ? "変更あり (--check): " : "変更なし (--check): ") +
             (r.changed ? change : DescribeParams(*r.before));
    return line + "変更なし (すでに同じ値): " + DescribeParams(*r.before);
  }
  if (r.after) {
    line += std::string(kTextWriteDone) + ": " + DescribeParams(*r.after);
    if (r.withDiff && r.before) line += " [" + DescribeChange(*r.before, *r.after) + "]";
    return line;
  }
  return line + "完了";
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
  for (const UnitTarget& target : targets) {
    auto work = [&, target] {
      CUnitSession session(target, options, command, interrupted);
      const bool ok = job(session);
      session.Finish(ok);
      UnitRecord& record = session.Record();
      if (output.stamp != nullptr) StampRecord(&record, *output.stamp, target.planRow);
      if (!ok && skipAbsent && session.NothingAnswered() &&
          record.outcome == UnitOutcome::kFailed) {
        record.outcome = UnitOutcome::kSkipped;
      }
      sink.Unit(record);
      unitEnded();
    };
    try {
      threads.push_back(start ? start(work) : std::thread(work));
    } catch (const std::exception& e) {
      // The system has no thread to give (a process or memory limit): this
      // unit fails untouched, the others go on.
      CUnitSession session(target, options, command, interrupted);
      session.Finish(false);
      session.Record().error = std::string(kTextThreadFailed) + " " + target.name + ": " + e.what();
      session.Record().errorCode = error_code::kThreadFailed;
      if (output.stamp != nullptr) StampRecord(&session.Record(), *output.stamp, target.planRow);
      sink.Unit(session.Record());
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
