#include "CtlStation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "CliText.h"
#include "ComResolver.h"
#include "CtlBatch.h"
#include "CtlHash.h"
#include "CtlMain.h"
#include "CtlPlan.h"
#include "CtlProfile.h"
#include "CtlReport.h"
#include "CtlText.h"
#include "ToolConsole.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the board is drawn and the devices looked at without a sign.
constexpr int kTickMs = 100;
constexpr int kRelistMs = 1000;
// A node without a by-id link is taken after this long: udev makes the
// link a moment after the node, and a unit must not be served by its node
// when its serial number is on the way.
constexpr long long kSettleMs = 1000;
// Absent units whose result stays on the board.
constexpr size_t kGoneShown = 8;

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

std::string TargetKey(const std::string& serial, const UnitParams& p) {
  return serial + "\n" + std::to_string(p.channel) + " " + std::to_string(p.id) + " " +
         std::to_string(p.retryCount) + " " + std::to_string(p.retryInterval);
}

// Display width of UTF-8 text: East Asian characters take two columns.
size_t CutToColumns(const std::string& text, int columns) {
  int used = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    const int w = n >= 3 ? 2 : 1;
    if (used + w > columns) return i;
    used += w;
    i += n;
  }
  return text.size();
}

struct Slot {
  PresentDevice device;  // where it is now, or was last
  bool present = false;
  bool running = false;
  std::string servedOn;  // the node the last verdict was for; "" serves at the next look
  std::string seenOn;    // the node it was first seen on this time
  long long seenMs = 0;
  BoardLine line;
  long long startMs = 0;
  long long goneMs = 0;
};

class CStation {
 public:
  CStation(const CtlCommand& c, const SessionOptions& options, const RecordStamp& stamp,
           const InterruptState& interrupted)
      : m_command(c), m_options(options), m_stamp(stamp), m_interrupted(interrupted) {}

  bool Prepare(std::string* error, std::vector<std::string>* planErrors);
  void Look(const std::vector<PresentDevice>& present);
  void Reap(bool all);
  void Draw(bool last);
  std::string Totals();
  bool Lost() const { return m_nRecordsLost > 0 || m_nStdoutLost > 0; }
  CRecordFile& Record() { return m_record; }

  bool board = false;  // drawn in place on standard error
  bool colour = false;
  bool bell = false;
  int columns = 0;

 private:
  struct Run {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> ended;
  };
  void Verdict(const std::string& key, Slot& slot, const PresentDevice& d);
  void Start(const std::string& key, Slot& slot, const PresentDevice& d, const UnitParams& target,
             int planRow);
  void Refuse(Slot& slot, const PresentDevice& d, ErrorCode code, const std::string& reason);
  // Under the mutex: the record out, the board's line and the totals.
  void Emit(UnitRecord& record, Slot& slot, BoardLine::Tone tone, const std::string& state,
            const std::string& detail);
  UnitRecord BareRecord(const PresentDevice& d) const;

  CtlCommand m_command;
  SessionOptions m_options;
  RecordStamp m_stamp;
  const InterruptState& m_interrupted;
  UnitParams m_profile{};
  std::map<std::string, std::pair<int, UnitParams>> m_plan;  // serial -> line, values
  UnitJob m_job;
  CRecordFile m_record;

  std::mutex m_mutex;
  std::map<std::string, Slot> m_slots;  // by serial, or "node:" + path
  std::vector<std::string> m_order;     // the board's order
  std::set<std::string> m_done;         // TargetKey of every unit done
  std::list<Run> m_runs;
  int m_nDone = 0, m_nFailed = 0, m_nAlready = 0, m_nInterrupted = 0;
  int m_nRecordsLost = 0, m_nStdoutLost = 0;
  size_t m_nDrawn = 0;
  std::vector<std::string> m_drawn;  // the board on the terminal now
};

bool CStation::Prepare(std::string* error, std::vector<std::string>* planErrors) {
  if (!m_command.planPath.empty()) {
    std::vector<PlanRow> rows;
    std::vector<PlanError> errors;
    ReadPlan(m_command.planPath, &rows, &errors);
    for (const PlanRow& row : rows) {
      // Units are known by serial number alone: a by-id name would match no
      // unit, and every unit would be refused for want of a row.
      if (ComNumberOfName(row.port) != 0 || IsDevicePathName(row.port) ||
          !UsbSerialOfByIdName(row.port).empty()) {
        errors.push_back(
            {row.line, TrF("a station plan's port is a USB serial number: %s", {row.port})});
        continue;
      }
      const auto [it, fresh] = m_plan.emplace(row.port, std::make_pair(row.line, row.params));
      if (!fresh) {
        errors.push_back({row.line, TrF("serial number %s is on line %s too",
                                        {row.port, std::to_string(it->second.first)})});
      }
    }
    std::stable_sort(errors.begin(), errors.end(),
                     [](const PlanError& a, const PlanError& b) { return a.line < b.line; });
    for (const PlanError& e : errors) planErrors->push_back(PlanErrorText(m_command.planPath, e));
    if (!errors.empty()) return false;
  } else if (!ReadProfile(m_command.file, &m_profile, error)) {
    return false;
  }
  m_job = ApplyJob(m_command, m_profile);

  if (!m_command.recordPath.empty()) {
    // Units an earlier run has done are known again.
    std::vector<RecordSummary> earlier;
    int bad = 0;
    std::string ignored;
    if (ReadRecordSummaries(m_command.recordPath, &earlier, &bad, &ignored)) {
      for (const RecordSummary& r : earlier) {
        if ((r.command == "apply" || r.command == "station") && r.outcome == "ok" && !r.check &&
            !r.usbSerial.empty() && r.target) {
          m_done.insert(TargetKey(r.usbSerial, *r.target));
        }
      }
    }
    if (!m_record.Open(m_command.recordPath)) {
      *error = TrF("cannot open the record file: %s", {m_command.recordPath});
      return false;
    }
  }
  return true;
}

UnitRecord CStation::BareRecord(const PresentDevice& d) const {
  UnitRecord r;
  r.time = UtcNow();
  r.command = "station";
  r.port = d.device;
  r.device = d.device;
  r.baud = m_options.baud;
  r.pace = m_options.pace == Pace::kFast ? "fast" : "fixed";
  r.usbSerial = d.serial;
  return r;
}

void CStation::Emit(UnitRecord& r, Slot& slot, BoardLine::Tone tone, const std::string& state,
                    const std::string& detail) {
  const auto planIt = m_plan.find(r.usbSerial);
  StampRecord(&r, m_stamp, planIt != m_plan.end() ? planIt->second.first : 0);
  const std::string json = RecordJson(r) + "\n";
  if (m_record.IsOpen()) {
    if (m_nRecordsLost > 0 || !m_record.Append(json)) ++m_nRecordsLost;
  }
  slot.line.tone = tone;
  slot.line.state = state;
  slot.line.detail = detail;
  bool shown = true;
  if (m_command.json) {
    shown = WriteStdout(json);
  } else if (!board) {
    const std::string text = (r.usbSerial.empty() ? r.device : r.usbSerial + " " + r.device) +
                             ": " + state + (detail.empty() ? "" : " " + detail) + "\n";
    shown = tone == BoardLine::Tone::kRed ? WriteStderr(text) : WriteStdout(text);
  }
  if (!shown) ++m_nStdoutLost;
  if (bell) WriteStderr("\a");
}

void CStation::Refuse(Slot& slot, const PresentDevice& d, ErrorCode code,
                      const std::string& reason) {
  ++m_nFailed;
  UnitRecord r = BareRecord(d);
  r.outcome = UnitOutcome::kFailed;
  r.errorCode = code;
  r.error = reason;
  Emit(r, slot, BoardLine::Tone::kRed, Tr("refused"), reason);
}

void CStation::Start(const std::string& key, Slot& slot, const PresentDevice& d,
                     const UnitParams& target, int planRow) {
  slot.running = true;
  slot.startMs = NowMs();
  slot.line.tone = BoardLine::Tone::kPlain;
  slot.line.state = Tr("setting up");
  slot.line.detail.clear();
  UnitTarget t;
  t.name = d.device;
  t.device = d.device;
  t.plan = target;
  t.planRow = planRow;
  auto ended = std::make_shared<std::atomic<bool>>(false);
  auto work = [this, key, t, ended, serial = d.serial] {
    CUnitSession session(t, m_options, "station", m_interrupted);
    const bool ok = m_job(session);
    session.Finish(ok);
    UnitRecord& r = session.Record();
    r.usbSerial = serial;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      Slot& s = m_slots[key];
      s.running = false;
      if (ok) {
        ++m_nDone;
        if (!serial.empty() && !m_command.check) m_done.insert(TargetKey(serial, *t.plan));
        const std::string values = r.after ? DescribeParams(*r.after) : std::string();
        Emit(r, s, BoardLine::Tone::kGreen,
             Tr(m_command.check
                    ? (r.changed ? N_("would change (--check)") : N_("no change (--check)"))
                    : (r.writeSent ? N_("done") : N_("done (the values were already set)"))),
             values);
      } else {
        ++(r.outcome == UnitOutcome::kInterrupted ? m_nInterrupted : m_nFailed);
        Emit(r, s, BoardLine::Tone::kRed,
             Tr(r.outcome == UnitOutcome::kInterrupted ? N_("halted") : N_("failed")), r.error);
      }
    }
    ended->store(true);
  };
  try {
    m_runs.push_back({std::thread(work), ended});
  } catch (const std::exception& e) {
    slot.running = false;
    UnitRecord r = BareRecord(d);
    r.errorCode = ErrorCode::kThreadFailed;
    r.error = std::string(Tr(kTextThreadFailed)) + " " + d.device + ": " + e.what();
    ++m_nFailed;
    Emit(r, slot, BoardLine::Tone::kRed, Tr("failed"), r.error);
  }
}

void CStation::Verdict(const std::string& key, Slot& slot, const PresentDevice& d) {
  slot.servedOn = d.device;
  const bool plan = !m_command.planPath.empty();
  if (plan && d.serial.empty()) {
    return Refuse(
        slot, d, ErrorCode::kNoSerial,
        TrF("%s has no USB serial number; no plan row can be chosen, so nothing is written",
            {d.device}));
  }
  UnitParams target = m_profile;
  int row = 0;
  if (plan) {
    const auto it = m_plan.find(d.serial);
    if (it == m_plan.end()) {
      return Refuse(slot, d, ErrorCode::kNoPlanRow,
                    TrF("serial number %s has no row in the plan (%s); nothing is written",
                        {d.serial, d.device}));
    }
    row = it->second.first;
    target = it->second.second;
  }
  if (!d.serial.empty() && !m_command.again && !m_command.check &&
      m_done.count(TargetKey(d.serial, target)) != 0) {
    ++m_nAlready;
    UnitRecord r = BareRecord(d);
    r.target = target;
    r.outcome = UnitOutcome::kSkipped;
    r.errorCode = ErrorCode::kAlreadyDone;
    r.error =
        TrF("serial number %s is already set up (%s); nothing is written (--again does it "
            "again)",
            {d.serial, DescribeParams(target)});
    return Emit(r, slot, BoardLine::Tone::kYellow, Tr("already set up"), DescribeParams(target));
  }
  Start(key, slot, d, target, row);
}

void CStation::Look(const std::vector<PresentDevice>& present) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const long long now = NowMs();
  std::map<std::string, std::vector<PresentDevice>> byKey;
  for (const PresentDevice& d : present) {
    byKey[d.serial.empty() ? "node:" + d.device : d.serial].push_back(d);
  }
  for (auto it = m_slots.begin(); it != m_slots.end();) {
    Slot& slot = it->second;
    if (byKey.count(it->first) != 0 || !slot.present) {
      ++it;
      continue;
    }
    // A node that left before anything was done with it was only waiting
    // for its by-id name (udev makes the node first), or came and went in
    // a moment: it is no unit of its own on the board.
    if (slot.servedOn.empty() && !slot.running) {
      m_order.erase(std::find(m_order.begin(), m_order.end(), it->first));
      it = m_slots.erase(it);
      continue;
    }
    slot.present = false;
    slot.servedOn.clear();
    slot.seenOn.clear();
    slot.goneMs = now;
    ++it;
  }
  for (const auto& [key, devices] : byKey) {
    auto [it, fresh] = m_slots.emplace(key, Slot());
    Slot& slot = it->second;
    if (fresh) m_order.push_back(key);
    slot.present = true;
    if (devices.size() > 1) {
      // Which of them is the unit the plan means cannot be told: neither is
      // written. Said once for each device that joins.
      std::string names;
      for (const PresentDevice& d : devices) names += (names.empty() ? "" : ", ") + d.device;
      const std::string marker = "shared:" + names;
      if (!slot.running) slot.device = devices.front();
      slot.line.name = TrF("%s and others", {devices.front().name});
      slot.line.serial = devices.front().serial;
      if (slot.servedOn != marker) {
        slot.servedOn = marker;
        for (const PresentDevice& d : devices) {
          // One already in flight cannot be called back; the others are
          // refused.
          if (slot.running && d.device == slot.device.device) continue;
          Refuse(slot, d, ErrorCode::kSharedSerial,
                 TrF("serial number %s is on %s devices (%s); none of them is written",
                     {d.serial, std::to_string(devices.size()), names}));
        }
      }
      continue;
    }
    const PresentDevice& d = devices.front();
    if (slot.running) continue;  // it ends on its own; the node it left says so
    slot.device = d;
    slot.line.name = d.name;
    slot.line.serial = d.serial;
    if (slot.servedOn == d.device) continue;
    if (slot.seenOn != d.device) {
      slot.seenOn = d.device;
      slot.seenMs = now;
    }
    if (m_interrupted.Requested()) continue;
    if (d.serial.empty() && now - slot.seenMs < kSettleMs) {
      slot.line.tone = BoardLine::Tone::kPlain;
      slot.line.state = Tr("recognising");
      slot.line.detail.clear();
      continue;
    }
    Verdict(key, slot, d);
  }
  // The board keeps what is plugged in and the last few that left.
  std::vector<std::string> gone;
  for (const std::string& key : m_order) {
    const Slot& s = m_slots[key];
    if (!s.present && !s.running) gone.push_back(key);
  }
  std::sort(gone.begin(), gone.end(), [&](const std::string& a, const std::string& b) {
    return m_slots[a].goneMs > m_slots[b].goneMs;
  });
  for (size_t i = kGoneShown; i < gone.size(); ++i) {
    m_slots.erase(gone[i]);
    m_order.erase(std::find(m_order.begin(), m_order.end(), gone[i]));
  }
}

void CStation::Reap(bool all) {
  for (auto it = m_runs.begin(); it != m_runs.end();) {
    if (all || it->ended->load()) {
      it->thread.join();
      it = m_runs.erase(it);
    } else {
      ++it;
    }
  }
}

std::string CStation::Totals() {
  int running = 0;
  for (const auto& [key, slot] : m_slots) running += slot.running ? 1 : 0;
  std::string t =
      TrF("done %s, failed %s, already set up %s",
          {std::to_string(m_nDone), std::to_string(m_nFailed), std::to_string(m_nAlready)});
  if (running > 0) t += ", " + TrF("setting up %s", {std::to_string(running)});
  if (m_nInterrupted > 0) t += ", " + TrF("interrupted %s", {std::to_string(m_nInterrupted)});
  return t;
}

void CStation::Draw(bool last) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!board) return;
  const long long now = NowMs();
  std::vector<BoardLine> lines;
  for (const std::string& key : m_order) {
    Slot& s = m_slots[key];
    BoardLine line = s.line;
    if (s.running) {
      char secs[32];
      std::snprintf(secs, sizeof secs, "%.1f", static_cast<double>(now - s.startMs) / 1000.0);
      line.detail = TrF("%s s", {secs});
    }
    if (!s.present && !s.running) line.state += " " + std::string(Tr("(unplugged)"));
    lines.push_back(line);
  }
  std::vector<std::string> text = BoardText(lines, Totals(), colour, columns);
  // A board as it stands is not sent again every tick.
  if (!last && m_nDrawn > 0 && text == m_drawn) return;
  // Back to the board's first line, then every line again.
  std::string out;
  if (m_nDrawn > 1) out += "\033[" + std::to_string(m_nDrawn - 1) + "A";
  out += "\r";
  for (size_t i = 0; i < text.size(); ++i) out += (i > 0 ? "\n" : "") + text[i] + "\033[K";
  // A board that shrank leaves no old lines below it.
  out += "\033[J";
  if (last) out += "\n";
  WriteStderr(out);
  m_nDrawn = last ? 0 : text.size();
  m_drawn = std::move(text);
}

bool NoColour() {
  const char* no = std::getenv("NO_COLOR");
  return no != nullptr && no[0] != '\0';
}

}  // namespace

std::vector<std::string> BoardText(const std::vector<BoardLine>& lines, const std::string& totals,
                                   bool colour, int columns) {
  std::vector<std::string> out;
  auto cut = [&](const std::string& s) {
    return columns > 0 ? s.substr(0, CutToColumns(s, columns)) : s;
  };
  for (const BoardLine& l : lines) {
    std::string name = l.name;
    name.resize(std::max<size_t>(name.size(), 8), ' ');
    std::string serial = l.serial.empty() ? "-" : l.serial;
    serial.resize(std::max<size_t>(serial.size(), 12), ' ');
    std::string text =
        cut(name + " " + serial + " " + l.state + (l.detail.empty() ? "" : "  ") + l.detail);
    if (colour && l.tone != BoardLine::Tone::kPlain) {
      const char* code = l.tone == BoardLine::Tone::kGreen ? "32"
                         : l.tone == BoardLine::Tone::kRed ? "31"
                                                           : "33";
      text = std::string("\033[") + code + "m" + text + "\033[0m";
    }
    out.push_back(text);
  }
  out.push_back(cut(totals));
  return out;
}

int RunStation(const CtlCommand& c, const ProgramSettings& settings, const DeviceRoots& roots,
               InterruptState* interrupted, bool closeStdout) {
  SessionOptions options;
  options.baud = c.baud != 0 ? c.baud : BaudRateOfIndex(settings.baudIndex);
  options.pace = c.pace;
  options.timeoutMs = c.timeoutMs;
  options.roots = roots;
  CTraceSink trace;
  std::string error;
  if (!c.tracePath.empty()) {
    if (!trace.Open(c.tracePath, &error)) {
      WriteStderr("zeta7ctl: " + error + "\n");
      return kExitUsage;
    }
    options.trace = &trace;
  }
  CtlCommand job = c;
  job.baud = options.baud;
  RecordStamp stamp = StampOfRun(c.operatorName, roots);
  stamp.plan = c.planPath.empty() ? c.file : c.planPath;
  stamp.planSha256 = FileSha256(stamp.plan);

  CStation station(job, options, stamp, *interrupted);
  std::vector<std::string> planErrors;
  if (!station.Prepare(&error, &planErrors)) {
    std::string text;
    for (const std::string& e : planErrors) text += "zeta7ctl: " + e + "\n";
    if (!planErrors.empty()) {
      text += "zeta7ctl: " +
              TrF("the plan has errors, so the station does not start (%s of them)",
                  {std::to_string(planErrors.size())}) +
              "\n";
    } else {
      text += "zeta7ctl: " + error + "\n";
    }
    WriteStderr(text);
    return kExitUsage;
  }
  CDeviceWatcher watcher(roots);
  if (!watcher.Start(&error)) {
    WriteStderr("zeta7ctl: " + TrF("cannot watch the devices: %s", {error}) + "\n");
    return kExitUnitFailed;
  }
  const bool terminal = ProgressTerminal();
  station.board = terminal;
  station.colour = terminal && !NoColour();
  station.bell = terminal && !c.quiet;
  station.columns = terminal ? TerminalColumns() : 0;

  InstallInterruptHandler(interrupted);
  WriteStderr(std::string("zeta7ctl: ") + Tr("plug in the units (Ctrl+C ends)") + "\n");
  long long lastList = -kRelistMs;
  bool changed = true;
  while (!interrupted->Requested()) {
    if (changed || NowMs() - lastList >= kRelistMs) {
      lastList = NowMs();
      station.Look(ListPresentDevices(roots));
    }
    station.Reap(false);
    station.Draw(false);
    changed = watcher.Wait(kTickMs);
  }
  // Units in flight end their exchange (or give up their waits on a
  // second request) and write their records.
  station.Reap(true);
  station.Draw(true);
  bool lost = station.Lost();
  if (trace.Lost()) {
    WriteStderr("zeta7ctl: " + TrF("cannot write the trace: %s", {c.tracePath}) + "\n");
    lost = true;
  }
  if (station.Record().IsOpen() && !station.Record().Close()) lost = true;
  if (closeStdout && !CloseStdout()) lost = true;
  if (lost) {
    WriteStderr(std::string("zeta7ctl: ") +
                Tr("some of the records or output could not be written") + "\n");
  }
  InterruptHandled();
  WriteStderr(std::string("zeta7ctl: ") + Tr(kTextInterrupted) + " (" + station.Totals() + ")\n");
  return interrupted->ExitCode();
}
