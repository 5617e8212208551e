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

constexpr int kHighestComNumber = 256;

std::atomic<bool> g_interrupted{false};

int UsageError(const std::string& message) {
  WriteStderr("zeta7ctl: " + message + "\n詳しくは zeta7ctl --help\n");
  return kExitUsage;
}

std::string MapKey(int n, const ComMap& map) {
  const auto it = map.find(n);
  return it != map.end() && !it->second.empty() ? "com" + std::to_string(n) : std::string();
}

// Resolves every port before anything is sent; false with the message.
bool ResolveTargets(const CtlCommand& c, const ComMap& map, std::vector<UnitTarget>* targets,
                    std::string* error) {
  if (c.all) {
    for (int n : ListedComNumbers(map, ListSerialDevices())) {
      const std::string device = ResolveComDevice(n, map);
      if (!device.empty())
        targets->push_back({"COM" + std::to_string(n), n, device, MapKey(n, map)});
    }
  }
  for (const std::string& name : c.ports) {
    const int n = ComNumberOfName(name.c_str());
    if (n != 0) {
      const std::string device = ResolveComDevice(n, map);
      if (device.empty()) {
        const PortDiagnosis d = DiagnoseComPort(n, map);
        char first[64];
        std::snprintf(first, sizeof first, kTextOpenFailed, n);
        *error = std::string(first) + " " + name + ": " + DescribeProblem(d);
        return false;
      }
      targets->push_back({name, n, device, MapKey(n, map)});
    } else if (IsDevicePathName(name)) {
      targets->push_back({name, 0, name, {}});
    } else {
      *error = "ポート名が不正です: " + name + " (COM1〜COM256 かデバイスのパス)";
      return false;
    }
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

int ComNumberOfName(const char* name) {
  if (name == nullptr) return 0;
  const std::string s = name;
  if (s.size() < 4 || s.size() > 6) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if ((s[i] | 0x20) != "com"[i]) return 0;
  }
  if (s[3] == '0') return 0;
  int n = 0;
  for (size_t i = 3; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    n = n * 10 + (s[i] - '0');
  }
  return n <= kHighestComNumber ? n : 0;
}

int CtlMain(int argc, const char* const* argv) {
  CtlCommand c;
  std::string error;
  if (!ParseCtlArgs(argc - 1, argv + 1, &c, &error)) return UsageError(error);
  if (c.version) {
    WriteStdout(std::string("zeta7ctl ") + ZETA7_VERSION_STRING + "\n");
    return kExitDone;
  }
  if (c.help) {
    WriteStdout(CtlUsage(c.verb));
    return kExitDone;
  }

  const ProgramSettings settings = LoadProgramSettings(c.settingsPath);
  if (c.verb == CtlVerb::kPorts) {
    WriteStdout(FormatPortList(settings, DiagnoseListedPorts(settings.map)));
    return kExitDone;
  }

  UnitParams profile = c.params;
  if (c.verb == CtlVerb::kApply && !ReadProfile(c.file, &profile, &error)) {
    return UsageError(error);
  }
  std::vector<UnitTarget> targets;
  if (!ResolveTargets(c, settings.map, &targets, &error)) return UsageError(error);

  BatchOutput output;
  output.json = c.json;
  output.progress = StdoutIsTerminal();
  output.columns = output.progress ? TerminalColumns() : 0;
  if (!c.recordPath.empty()) {
    output.record = OpenRecordFile(c.recordPath);
    if (output.record == nullptr) return UsageError("記録ファイルを開けません: " + c.recordPath);
  }

  SessionOptions options;
  options.baud = c.baud != 0 ? c.baud : BaudRateOfIndex(settings.baudIndex);
  options.pace = c.pace;
  options.timeoutMs = c.timeoutMs;

  InstallInterruptHandler(&g_interrupted);
  const BatchCounts counts = RunBatch(targets, options, VerbName(c.verb), c.all, JobFor(c, profile),
                                      output, g_interrupted);
  if (output.record != nullptr) std::fclose(output.record);
  InterruptHandled();

  if (g_interrupted.load()) {
    WriteStderr(std::string("zeta7ctl: ") + kTextInterrupted + " (完了 " +
                std::to_string(counts.ok) + ", 失敗 " + std::to_string(counts.failed) +
                ", 未完了 " + std::to_string(counts.interrupted) + ")\n");
    return kExitInterrupted;
  }
  if (c.all && counts.ok + counts.failed == 0) {
    WriteStderr("zeta7ctl: プロンプトに応答するZETA-7がありません\n");
    return kExitUnitFailed;
  }
  return counts.failed > 0 ? kExitUnitFailed : kExitDone;
}
