#include "CtlMain.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "CliText.h"
#include "ComResolver.h"
#include "CtlBatch.h"
#include "CtlHash.h"
#include "CtlOptions.h"
#include "CtlPlan.h"
#include "CtlPlatform.h"
#include "CtlProfile.h"
#include "CtlReport.h"
#include "CtlStation.h"
#include "CtlText.h"
#include "PortDiagnosis.h"
#include "PortList.h"
#include "ProgramSettings.h"
#include "SettingsKeys.h"
#include "ToolConsole.h"
#include "version.h"

namespace {

InterruptState g_interrupted;

int UsageError(const std::string& message) {
  WriteStderr("zeta7ctl: " + message + "\n" + Tr("See zeta7ctl --help.") + "\n");
  return kExitUsage;
}

// The names a port can be given by: the COM names of the present ports, the
// settings file's and the remembered ones, then the devices themselves.
std::vector<std::string> PortNames() {
  const ProgramSettings settings = LoadProgramSettings(std::string());
  const DeviceRoots roots = DeviceRootsOfEnvironment();
  const std::vector<SerialDevice> present = ListSerialDevices(roots.sys, roots.dev);
  std::vector<std::string> names;
  std::set<int> numbers;
  for (int n : ListedComNumbers(settings.map, present)) numbers.insert(n);
  for (int n : RememberedComNumbers()) numbers.insert(n);
  for (int n : numbers) names.push_back("COM" + std::to_string(n));
  for (const std::string& path : ByIdPaths(roots)) names.push_back(path);
  for (const SerialDevice& d : present) names.push_back(d.path);
  return names;
}

// zeta7ctl --complete -- WORD...: the shells' completion asks the table.
int Complete(int argc, const char* const* argv) {
  int from = 2;
  if (from < argc && std::string(argv[from]) == "--") ++from;
  const std::vector<std::string> words(argv + from, argv + argc);
  const bool shown = WriteStdout(CliComplete(CtlProgram(), words, PortNames));
  return shown && CloseStdout() ? kExitDone : kExitUnitFailed;
}

std::string MapKey(int n, const ComMap& map) {
  const auto it = map.find(n);
  return it != map.end() && !it->second.empty() ? "com" + std::to_string(n) : std::string();
}

// Under --all one device is one unit: a [ports] entry names its device by
// its own number, so the number the enumeration gives that device is left
// out. A missing device is then the unit's record, not a usage error.
std::vector<UnitTarget> AllTargets(const ComMap& map, const DeviceRoots& roots) {
  std::vector<UnitTarget> targets;
  std::map<std::string, bool> mapped;
  for (const auto& [n, device] : map) {
    if (!device.empty()) mapped[DeviceIdentity(device)] = true;
  }
  // Devices the numbers file leaves without a number are not reached.
  const std::string problem = NumbersProblem(roots);
  if (!problem.empty()) WriteStderr("zeta7ctl: " + problem + "\n");
  for (int n : ListedComNumbers(map, ListSerialDevices(roots.sys, roots.dev))) {
    const std::string device = ResolveComIn(n, map, roots);
    if (device.empty()) continue;
    const std::string key = MapKey(n, map);
    if (key.empty() && mapped.count(DeviceIdentity(device)) != 0) continue;
    targets.push_back({"COM" + std::to_string(n), n, device, key, {}});
  }
  return targets;
}

// Whether name looks like a COM name that the one rule refuses ("COM0",
// "COM300", "com03"): a mistyped number, not a serial number.
bool LooksLikeComName(const std::string& name) {
  if (name.size() < 4 || (name.compare(0, 3, "COM") != 0 && name.compare(0, 3, "com") != 0)) {
    return false;
  }
  return name.find_first_not_of("0123456789", 3) == std::string::npos;
}

// One port as named on the command line or in a plan: COMn, a device path,
// a /dev/serial/by-id name or a USB serial number. A port that leads to
// nothing stops the batch: the user meant that unit.
bool ResolvePort(const std::string& name, const ComMap& map, const DeviceRoots& roots,
                 UnitTarget* target, std::string* error) {
  const int n = ComNumberOfName(name.c_str());
  if (n != 0) {
    *target = {name, n, ResolveComIn(n, map, roots), MapKey(n, map), {}};
  } else if (IsDevicePathName(name)) {
    *target = {name, 0, name, {}, {}};
  } else if (!LooksLikeComName(name)) {
    // A by-id name names one device; a serial number may name several (the
    // interfaces of one adapter, or two adapters with one serial number).
    std::vector<std::string> found;
    for (const std::string& path : ByIdPaths(roots)) {
      const std::string link = std::filesystem::path(path).filename().string();
      if (link == name || UsbSerialOfByIdName(link) == name) found.push_back(path);
    }
    if (found.size() != 1) {
      *error = found.empty()
                   ? TrF("no USB adapter with the serial number %s, nor a by-id name (%s)",
                         {name, roots.dev + "/serial/by-id"})
                   : TrF("%s ports have the serial number %s (%s and others); name the by-id "
                         "name or the device path instead",
                         {std::to_string(found.size()), name, found[0]});
      return false;
    }
    *target = {name, 0, found[0], {}, {}};
  } else {
    *error = TrF(
        "not a port name: %s (COM1 to COM256, a device path, a by-id name or a USB serial number)",
        {name});
    return false;
  }
  if (target->device.empty() || !DevicePresent(target->device)) {
    PortDiagnosis d = n != 0 ? DiagnoseComPort(n, map, roots.sys, roots.dev)
                             : DiagnoseDevice(target->device, roots.sys, roots.dev);
    if (d.problem == PortProblem::kNone) d.problem = PortProblem::kMissing;
    const std::string first =
        n != 0 ? TextWith(Tr(kTextOpenFailed), n) : TextWith(Tr(kTextPathOpenFailed), name);
    *error = first + " " + DescribeDevice(d, CurrentLanguage()) + ": " +
             DescribeProblem(d, CurrentLanguage());
    return false;
  }
  return true;
}

// Resolves every port before anything is sent; false with the message.
bool ResolveTargets(const CtlCommand& c, const ComMap& map, const DeviceRoots& roots,
                    std::vector<UnitTarget>* targets, std::string* error) {
  if (c.all || (c.verb == CtlVerb::kScan && c.ports.empty())) *targets = AllTargets(map, roots);
  for (const std::string& name : c.ports) {
    UnitTarget target;
    if (!ResolvePort(name, map, roots, &target, error)) return false;
    targets->push_back(target);
  }
  // Two threads on one device would fight over it; the second would fail.
  std::map<std::string, std::string> seen;
  for (const UnitTarget& t : *targets) {
    const auto [it, fresh] = seen.emplace(DeviceIdentity(t.device), t.name);
    if (!fresh) {
      *error =
          TrF("the same device is named twice: %s and %s (%s)", {it->second, t.name, t.device});
      return false;
    }
  }
  return true;
}

// The whole plan, row by row: every row that cannot be a unit gives its
// own message with its line, in the order of the file; false when any did.
bool ResolvePlan(const std::string& path, const ComMap& map, const DeviceRoots& roots,
                 std::vector<UnitTarget>* targets, std::vector<std::string>* messages) {
  std::vector<PlanRow> rows;
  std::vector<PlanError> errors;
  ReadPlan(path, &rows, &errors);
  std::map<std::string, int> seen;  // device identity -> line
  for (const PlanRow& row : rows) {
    UnitTarget target;
    std::string error;
    if (!ResolvePort(row.port, map, roots, &target, &error)) {
      errors.push_back({row.line, error});
      continue;
    }
    const auto [it, fresh] = seen.emplace(DeviceIdentity(target.device), row.line);
    if (!fresh) {
      errors.push_back({row.line, TrF("%s is the same device as line %s (%s)",
                                      {row.port, std::to_string(it->second), target.device})});
      continue;
    }
    target.plan = row.params;
    target.planRow = row.line;
    targets->push_back(target);
  }
  std::stable_sort(errors.begin(), errors.end(),
                   [](const PlanError& a, const PlanError& b) { return a.line < b.line; });
  for (const PlanError& e : errors) messages->push_back(PlanErrorText(path, e));
  return errors.empty();
}

UnitJob JobFor(const CtlCommand& c, const UnitParams& profile) {
  switch (c.verb) {
    case CtlVerb::kInfo:
      return [](CUnitSession& s) { return s.Connect(); };
    case CtlVerb::kRead:
      return [](CUnitSession& s) {
        UnitParams p{};
        if (!s.Connect() || !s.ReadParams(&p)) return false;
        s.Record().before = p;
        return true;
      };
    case CtlVerb::kSave: {
      const std::string file = c.file;
      return [file](CUnitSession& s) {
        UnitParams p{};
        if (!s.Connect() || !s.ReadParams(&p)) return false;
        s.Record().before = p;
        std::string error;
        const std::string range = CheckParamRanges(p);
        if (!range.empty()) {
          WriteStderr("zeta7ctl: " +
                      TrF("warning: the values of %s are outside a profile's ranges (%s); apply "
                          "will refuse this profile",
                          {s.Record().port, range}) +
                      "\n");
        }
        if (!WriteProfile(file, p, &error)) {
          s.FailAfter(ErrorCode::kSaveFailed, error);
          return false;
        }
        return true;
      };
    }
    case CtlVerb::kWrite:
    case CtlVerb::kApply:
    case CtlVerb::kStation: {
      const bool force = c.force, check = c.check, diff = c.diff;
      return [profile, force, check, diff](CUnitSession& s) {
        const UnitParams target = s.Target().plan ? *s.Target().plan : profile;
        UnitRecord& r = s.Record();
        r.target = target;
        r.check = check;
        r.withDiff = diff;
        UnitParams before{};
        if (!s.Connect() || !s.ReadParams(&before)) return false;
        r.before = before;
        const bool same = SameParams(before, target);
        if (check || (same && !force)) {
          // Nothing is written: what the unit holds is what was read.
          r.after = before;
          return true;
        }
        // What was written, what it changed and what the unit holds
        // follow from the exchanges (JudgeSteps).
        return s.WriteParams(target) && s.Verify(target);
      };
    }
    case CtlVerb::kScan: {
      std::vector<int> speeds(std::begin(kBaudRates), std::end(kBaudRates));
      // The settings file's speed first: most units answer there.
      const auto first = std::find(speeds.begin(), speeds.end(), c.baud);
      if (first != speeds.end()) std::rotate(speeds.begin(), first, first + 1);
      return [speeds](CUnitSession& s) { return s.Scan(speeds); };
    }
    case CtlVerb::kNone:
    case CtlVerb::kPorts:
    case CtlVerb::kReport:
      break;
  }
  return [](CUnitSession&) { return false; };
}

}  // namespace

UnitJob ApplyJob(const CtlCommand& c, const UnitParams& profile) {
  CtlCommand apply = c;
  apply.verb = CtlVerb::kApply;
  return JobFor(apply, profile);
}

int CtlMain(int argc, const char* const* argv) {
  SetLanguage(LanguageOfEnvironment());
  if (argc >= 2 && std::string(argv[1]) == "--complete") return Complete(argc, argv);
  CtlCommand c;
  std::string error;
  if (!ParseCtlArgs(argc - 1, argv + 1, &c, &error)) return UsageError(error);
  if (c.version) {
    const bool shown = WriteStdout(std::string("zeta7ctl ") + ZETA7_VERSION_STRING + "\n");
    return shown && CloseStdout() ? kExitDone : kExitUnitFailed;
  }
  if (c.help) {
    const bool shown = WriteStdout(CtlUsage(c.verb));
    return shown && CloseStdout() ? kExitDone : kExitUnitFailed;
  }

  if (c.verb == CtlVerb::kReport) return RunReport(c);

  if (!c.settingsPath.empty()) {
    const std::string problem = SettingsFileProblem(c.settingsPath);
    if (!problem.empty()) return UsageError(problem);
  }
  const ProgramSettings settings = LoadProgramSettings(c.settingsPath);
  const DeviceRoots roots = DeviceRootsOfEnvironment();
  if (c.verb == CtlVerb::kPorts) {
    if (!WriteStdout(FormatPortList(settings, DiagnoseListedPorts(settings.map, roots))) ||
        !CloseStdout()) {
      WriteStderr(std::string("zeta7ctl: ") + Tr("cannot write to standard output") + "\n");
      return kExitUnitFailed;
    }
    return kExitDone;
  }

  if (c.verb == CtlVerb::kStation) return RunStation(c, settings, roots, &g_interrupted);

  UnitParams profile = c.params;
  std::vector<UnitTarget> targets;
  if (!c.planPath.empty()) {
    std::vector<std::string> errors;
    if (!ResolvePlan(c.planPath, settings.map, roots, &targets, &errors)) {
      std::string text;
      for (const std::string& e : errors) text += "zeta7ctl: " + e + "\n";
      WriteStderr(text + "zeta7ctl: " +
                  TrF("the plan has faults, so nothing is sent (faults: %s)",
                      {std::to_string(errors.size())}) +
                  "\n");
      return kExitUsage;
    }
  } else {
    if (c.verb == CtlVerb::kApply && !ReadProfile(c.file, &profile, &error)) {
      return UsageError(error);
    }
    if (c.verb == CtlVerb::kSave && !CheckProfileDestination(c.file, &error)) {
      return UsageError(error);
    }
    if (!ResolveTargets(c, settings.map, roots, &targets, &error)) return UsageError(error);
  }

  RecordStamp stamp = StampOfRun(c.operatorName, roots);
  if (c.verb == CtlVerb::kApply) {
    stamp.plan = c.planPath.empty() ? c.file : c.planPath;
    stamp.planSha256 = FileSha256(stamp.plan);
  }

  if (c.verb == CtlVerb::kScan && targets.empty()) {
    WriteStderr(std::string("zeta7ctl: ") + Tr("no serial devices were found; nothing to scan") +
                "\n");
  }

  BatchOutput output;
  output.stamp = &stamp;
  output.json = c.json;
  // The profile itself goes to standard output; the unit's line may not.
  output.okToStderr = c.verb == CtlVerb::kSave && IsStandardStream(c.file);
  output.progress = ProgressTerminal();
  output.columns = output.progress ? TerminalColumns() : 0;
  CRecordFile record;
  if (!c.recordPath.empty()) {
    std::string reason;
    if (!record.Open(c.recordPath, &reason)) {
      return UsageError(TrF("cannot open the record file: %s", {c.recordPath}) + " (" + reason +
                        ")");
    }
    output.record = &record;
  }

  CTraceSink trace;
  if (!c.tracePath.empty() && !trace.Open(c.tracePath, &error)) return UsageError(error);

  SessionOptions options;
  options.baud = c.baud != 0 ? c.baud : BaudRateOfIndex(settings.baudIndex);
  options.pace = c.verb == CtlVerb::kScan ? Pace::kFast : c.pace;
  options.timeoutMs = c.timeoutMs;
  options.roots = roots;
  options.trace = c.tracePath.empty() ? nullptr : &trace;
  CtlCommand job = c;
  job.baud = options.baud;

  InstallInterruptHandler(&g_interrupted);
  const bool scan = c.verb == CtlVerb::kScan;
  const BatchCounts counts = RunBatch(targets, options, VerbName(c.verb), c.all || scan,
                                      JobFor(job, profile), output, g_interrupted);
  bool evidenceLost = false;
  if (trace.Lost()) {
    WriteStderr("zeta7ctl: " + TrF("cannot write to the trace: %s", {c.tracePath}) + " (" +
                trace.LostReason() + ")\n");
    evidenceLost = true;
  }
  if (record.IsOpen() && (!record.Close() || counts.recordsLost > 0)) {
    WriteStderr("zeta7ctl: " +
                TrF("cannot write to the record file: %s (%s; units whose record is missing: %s)",
                    {c.recordPath, record.Error(), std::to_string(counts.recordsLost)}) +
                "\n");
    evidenceLost = true;
  }
  if (counts.stdoutLost > 0 || !CloseStdout()) {
    WriteStderr("zeta7ctl: " +
                TrF("cannot write to standard output (units whose output is missing: %s)",
                    {std::to_string(counts.stdoutLost)}) +
                "\n");
    evidenceLost = true;
  }
  InterruptHandled();

  if (g_interrupted.Requested()) {
    WriteStderr(std::string("zeta7ctl: ") + Tr(kTextInterrupted) + " (" + SummaryLine(counts) +
                ")\n");
    return g_interrupted.ExitCode();
  }
  WriteStderr("zeta7ctl: " + SummaryLine(counts) + "\n");
  // A scan reports what it found, held ports and empty ones included.
  if (scan) return evidenceLost ? kExitUnitFailed : kExitDone;
  if (c.all && counts.ok + counts.failed == 0) {
    WriteStderr(std::string("zeta7ctl: ") + Tr("no ZETA-7 answers the prompt") + "\n");
    return kExitUnitFailed;
  }
  if (counts.failed > 0 || evidenceLost) return kExitUnitFailed;
  return c.check && c.exitCode && counts.changed > 0 ? kExitChangesPending : kExitDone;
}
