#include "CtlMain.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ComResolver.h"
#include "CtlBatch.h"
#include "CtlOptions.h"
#include "CtlPlatform.h"
#include "CtlProfile.h"
#include "CtlText.h"
#include "PortDiagnosis.h"
#include "PortList.h"
#include "ProgramSettings.h"
#include "ToolConsole.h"
#include "version.h"

namespace {

InterruptState g_interrupted;

int UsageError(const std::string& message) {
  WriteStderr("zeta7ctl: " + message + "\n詳しくは zeta7ctl --help\n");
  return kExitUsage;
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
  for (int n : ListedComNumbers(map, ListSerialDevices(roots.sys, roots.dev))) {
    const std::string device = ResolveComIn(n, map, roots);
    if (device.empty()) continue;
    const std::string key = MapKey(n, map);
    if (key.empty() && mapped.count(DeviceIdentity(device)) != 0) continue;
    targets.push_back({"COM" + std::to_string(n), n, device, key});
  }
  return targets;
}

// Resolves every port before anything is sent; false with the message.
bool ResolveTargets(const CtlCommand& c, const ComMap& map, const DeviceRoots& roots,
                    std::vector<UnitTarget>* targets, std::string* error) {
  if (c.all) *targets = AllTargets(map, roots);
  for (const std::string& name : c.ports) {
    const int n = ComNumberOfName(name);
    UnitTarget target;
    if (n != 0) {
      target = {name, n, ResolveComIn(n, map, roots), MapKey(n, map)};
    } else if (IsDevicePathName(name)) {
      target = {name, 0, name, {}};
    } else {
      *error = "ポート名が不正です: " + name + " (COM1〜COM256 かデバイスのパス)";
      return false;
    }
    // A port named on the command line that leads to nothing (a stale
    // [ports] entry, an unplugged adapter) stops the batch: the user meant
    // that unit.
    if (target.device.empty() || !DevicePresent(target.device)) {
      PortDiagnosis d = n != 0 ? DiagnoseComPort(n, map, roots.sys, roots.dev)
                               : DiagnoseDevice(target.device, roots.sys, roots.dev);
      if (d.problem == PortProblem::kNone) d.problem = PortProblem::kMissing;
      const std::string first =
          n != 0 ? TextWith(kTextOpenFailed, n) : TextWith(kTextPathOpenFailed, name);
      *error = first + " " + DescribeDevice(d) + ": " + DescribeProblem(d);
      return false;
    }
    targets->push_back(target);
  }
  // Two threads on one device would fight over it; the second would fail.
  std::map<std::string, std::string> seen;
  for (const UnitTarget& t : *targets) {
    const auto [it, fresh] = seen.emplace(DeviceIdentity(t.device), t.name);
    if (!fresh) {
      *error = "同じデバイスが二度指定されています: " + it->second + " と " + t.name + " (" +
               t.device + ")";
      return false;
    }
  }
  return true;
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
          WriteStderr("zeta7ctl: 警告: " + s.Record().port + " の値はプロファイルの範囲外です (" +
                      range + "); apply はこのプロファイルを受け付けません\n");
        }
        if (!WriteProfile(file, p, &error)) {
          s.Record().error = error;
          return false;
        }
        return true;
      };
    }
    case CtlVerb::kWrite:
    case CtlVerb::kApply:
      return [profile](CUnitSession& s) {
        UnitParams before{};
        if (!s.Connect() || !s.ReadParams(&before)) return false;
        s.Record().before = before;
        return s.WriteParams(profile) && s.Verify(profile);
      };
    case CtlVerb::kNone:
    case CtlVerb::kPorts:
      break;
  }
  return [](CUnitSession&) { return false; };
}

}  // namespace

int CtlMain(int argc, const char* const* argv) {
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

  if (!c.settingsPath.empty()) {
    const std::string problem = SettingsFileProblem(c.settingsPath);
    if (!problem.empty()) return UsageError(problem);
  }
  const ProgramSettings settings = LoadProgramSettings(c.settingsPath);
  const DeviceRoots roots = DeviceRootsOfEnvironment();
  if (c.verb == CtlVerb::kPorts) {
    if (!WriteStdout(FormatPortList(settings, DiagnoseListedPorts(settings.map, roots))) ||
        !CloseStdout()) {
      WriteStderr("zeta7ctl: 標準出力に書けません\n");
      return kExitUnitFailed;
    }
    return kExitDone;
  }

  UnitParams profile = c.params;
  if (c.verb == CtlVerb::kApply && !ReadProfile(c.file, &profile, &error)) {
    return UsageError(error);
  }
  if (c.verb == CtlVerb::kSave && !CheckProfileDestination(c.file, &error)) {
    return UsageError(error);
  }
  std::vector<UnitTarget> targets;
  if (!ResolveTargets(c, settings.map, roots, &targets, &error)) return UsageError(error);

  BatchOutput output;
  output.json = c.json;
  // The profile itself goes to standard output; the unit's line may not.
  output.okToStderr = c.verb == CtlVerb::kSave && IsStandardStream(c.file);
  output.progress = ProgressTerminal();
  output.columns = output.progress ? TerminalColumns() : 0;
  CRecordFile record;
  if (!c.recordPath.empty()) {
    if (!record.Open(c.recordPath)) return UsageError("記録ファイルを開けません: " + c.recordPath);
    output.record = &record;
  }

  SessionOptions options;
  options.baud = c.baud != 0 ? c.baud : BaudRateOfIndex(settings.baudIndex);
  options.pace = c.pace;
  options.timeoutMs = c.timeoutMs;
  options.roots = roots;

  InstallInterruptHandler(&g_interrupted);
  const BatchCounts counts = RunBatch(targets, options, VerbName(c.verb), c.all, JobFor(c, profile),
                                      output, g_interrupted);
  bool evidenceLost = false;
  if (record.IsOpen() && (!record.Close() || counts.recordsLost > 0)) {
    WriteStderr("zeta7ctl: 記録ファイルに書けません: " + c.recordPath + " (" +
                std::to_string(counts.recordsLost) + " 台分の記録がありません)\n");
    evidenceLost = true;
  }
  if (counts.stdoutLost > 0 || !CloseStdout()) {
    WriteStderr("zeta7ctl: 標準出力に書けません (" + std::to_string(counts.stdoutLost) +
                " 台分の出力がありません)\n");
    evidenceLost = true;
  }
  InterruptHandled();

  if (g_interrupted.Requested()) {
    WriteStderr(std::string("zeta7ctl: ") + kTextInterrupted + " (" + SummaryLine(counts) + ")\n");
    return g_interrupted.ExitCode();
  }
  WriteStderr("zeta7ctl: " + SummaryLine(counts) + "\n");
  if (c.all && counts.ok + counts.failed == 0) {
    WriteStderr("zeta7ctl: プロンプトに応答するZETA-7がありません\n");
    return kExitUnitFailed;
  }
  return counts.failed > 0 || evidenceLost ? kExitUnitFailed : kExitDone;
}
