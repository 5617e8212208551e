#include "CtlOptions.h"

#include <algorithm>
#include <iterator>

#include "CliText.h"
#include "CtlFileArgs.h"
#include "CtlProfile.h"
#include "CtlText.h"
#include "PortList.h"
#include "SettingsKeys.h"

namespace {

constexpr int kMaxTimeoutMs = 60000;

enum OptionId {
  kOptHelp,
  kOptVersion,
  kOptPort,
  kOptAll,
  kOptBaud,
  kOptPace,
  kOptTimeout,
  kOptRecord,
  kOptJson,
  kOptSettings,
  kOptTrace,
  kOptChannel,
  kOptId,
  kOptRetry,
  kOptInterval,
  kOptPlan,
  kOptCheck,
  kOptExitCode,
  kOptDiff,
  kOptForce,
  kOptOperator,
  kOptAgain,
  kOptQuiet,
  kOptCsv,
};

struct VerbEntry {
  const char* name;
  CtlVerb verb;
};
constexpr VerbEntry kVerbs[] = {
    {"ports", CtlVerb::kPorts}, {"scan", CtlVerb::kScan},       {"info", CtlVerb::kInfo},
    {"read", CtlVerb::kRead},   {"write", CtlVerb::kWrite},     {"save", CtlVerb::kSave},
    {"apply", CtlVerb::kApply}, {"station", CtlVerb::kStation}, {"report", CtlVerb::kReport}};

const char kUnits[] = "scan info read write save apply";  // the ports named with -p
// Every command that talks to units and leaves records; the station finds
// its units itself, so it takes no -p.
const char kRecorded[] = "scan info read write save apply station";
const char kSessions[] = "info read write save apply station";  // at the speed and pace given
const char kChanges[] = "write apply station";

CliProgram MakeProgram() {
  CliProgram p;
  p.name = "zeta7ctl";
  p.synopsis = N_("<command> [options]");
  p.description =
      N_("Sets up ZETA-7 units from the command line, one or many at a time.\n"
         "\n"
         "Settings utility of the ZETA-7 radio unit: connects over a COM port, shows the\n"
         "firmware version, reads and writes the unit's operating parameters.");
  p.epilogue =
      N_("Exit codes: 0 every unit done, 1 a unit failed or output was lost,\n"
         "2 usage error (nothing sent), 3 with --check --exit-code: a change is pending,\n"
         "128+signal when interrupted (Ctrl+C 130, SIGTERM 143, SIGHUP 129; a second\n"
         "Ctrl+C gives up the waits for replies).\n"
         "A FILE of - is standard input (apply) or standard output (save). Words after --\n"
         "are file names. zeta7ctl help <command> describes a command.");
  p.verbs = {
      {"ports", N_("[--settings FILE]"), N_("COM names and their devices (as zeta7-ports)"),
       kPortListSummary},
      {"scan", N_("[-p PORT...] [options]"), N_("find units (four speeds, the ports at once)"),
       N_("Tries every present port (or those of -p) at once, at the settings file's speed\n"
          "and then 38400, 19200, 9600 and 4800 bit/s, and shows for each unit that\n"
          "answers the prompt its port, device, USB serial number, speed and version.\n"
          "Writes nothing. Ports another program holds are reported, not opened.")},
      {"info", N_("-p PORT... | --all [options]"), N_("check the prompt and read the version"),
       N_("Checks the prompt \"ZETA7>\" and reads the firmware version.")},
      {"read", N_("-p PORT... | --all [options]"), N_("read the four parameters"),
       N_("Reads the channel, the ID, the retry count (-1 is infinite) and the retry\n"
          "interval [msec].")},
      {"write", N_("-p PORT... | --all -c N -i N -r N|infinite -t N [options]"),
       N_("write, then read back to confirm"),
       N_("Checks the ranges before sending (channel 7-46, ID 0-15, retry count 0-10000\n"
          "or infinite, retry interval 0-32767), writes with \"S\", and after \"OK\" reads\n"
          "the values back to confirm them. A unit that already holds the values is not\n"
          "written to.")},
      {"save", N_("-p PORT FILE [options]"), N_("save the parameters to the profile FILE"),
       N_("Reads one unit's parameters and saves them to the profile FILE ([parameters]\n"
          "with channel, id, retry_count, retry_interval)."),
       "file:ini"},
      {"apply", N_("FILE -p PORT... | --all [options]\n--plan UNITS.csv [options]"),
       N_("write a profile or a plan of units, then confirm"),
       N_("Writes the profile FILE to each unit and reads it back to confirm. A unit that\n"
          "already holds the values is not written to (its record says changed: false).\n"
          "UNITS.csv has a heading line port,channel,id,retry_count,retry_interval (in any\n"
          "order) and a line a unit; port is, as for -p, a COM name (COM1-COM256), a device\n"
          "path, a USB serial number or a /dev/serial/by-id name (these two on Linux). The\n"
          "whole plan is checked before anything is sent."),
       "file:ini"},
      {"station", N_("FILE [options]\n--plan UNITS.csv [options]"),
       N_("set up units one after another as they are plugged in"),
       N_("Knows each unit plugged in by its USB serial number and writes the profile FILE,\n"
          "or the plan's row of that serial number, as apply does, then reads it back to\n"
          "confirm. Serves several units at once. A unit without a row in the plan, and two\n"
          "units of one serial number, are not written to. A unit already done with the\n"
          "same values (in this run or in the --record file) is shown as done and not\n"
          "written to again. A unit pulled out midway starts over when plugged in again.\n"
          "On a terminal: a line a unit (green done, red failed, yellow already done) and a\n"
          "bell for each result. Ctrl+C, SIGTERM or SIGHUP ends it (units being set up\n"
          "finish their exchange and are recorded; a second one gives up the waits)."),
       "file:ini"},
      {"report", N_("RECORDS.jsonl [--csv]"), N_("sum up a record file unit by unit"),
       N_("Sums up a record file: a line a unit (its USB serial number, or else its port)\n"
          "with its last result, values and time."),
       "file"},
  };
  p.options = {
      {kOptPort, "port", 'p', CliArg::kValue, N_("PORT"), kUnits,
       N_("a COM number such as COM3, a device path,\na USB serial number or a by-id name "
          "(repeatable)"),
       "port"},
      {kOptAll, "all", 0, CliArg::kFlag, nullptr, "info read write apply",
       N_("every port where a unit answers the prompt")},
      {kOptBaud, "baud", 'b', CliArg::kValue, N_("N"), kSessions,
       N_("38400, 19200, 9600, 4800 (default: the settings\nfile's speed)"),
       "words:38400 19200 9600 4800"},
      {kOptPace, "pace", 0, CliArg::kValue, N_("fixed|fast"), kSessions,
       N_("fixed: the window's waits (default);\nfast: as soon as the reply is whole"),
       "words:fixed fast"},
      {kOptTimeout, "timeout", 0, CliArg::kValue, N_("MS"), kRecorded,
       N_("with --pace fast: the timeout of one exchange\n(1-60000, default 1000); scan: the wait "
          "at each\nspeed (default 150)")},
      {kOptRecord, "record", 0, CliArg::kValue, N_("FILE"), kRecorded,
       N_("append each unit's record to FILE as a JSON line"), "file"},
      {kOptJson, "json", 0, CliArg::kFlag, nullptr, kRecorded,
       N_("each unit's record as a JSON line on standard output")},
      {kOptSettings, "settings", 0, CliArg::kValue, N_("FILE"),
       "ports scan info read write save apply station",
       N_("read this settings file ([ports] and the speed)"), "file:ini"},
      {kOptTrace, "trace", 0, CliArg::kValue, N_("FILE|DIR/"), kRecorded,
       N_("every byte each port sent and received, timed"), "file"},
      {kOptChannel, "channel", 'c', CliArg::kValue, N_("N"), "write", N_("channel (7-46)")},
      {kOptId, "id", 'i', CliArg::kValue, N_("N"), "write", N_("ID (0-15)")},
      {kOptRetry, "retry", 'r', CliArg::kValue, N_("N|infinite"), "write",
       N_("retry count (0-10000) or infinite"), "words:infinite"},
      {kOptInterval, "interval", 't', CliArg::kValue, N_("N"), "write",
       N_("retry interval in msec (0-32767)")},
      {kOptPlan, "plan", 0, CliArg::kValue, N_("UNITS.csv"), "apply station",
       N_("the values of each unit; the port column takes\nwhat -p takes (a COM name, a device "
          "path, a USB\n"
          "serial number or a /dev/serial/by-id name);\nstation: USB serial numbers only"),
       "file:csv"},
      {kOptCheck, "check", 0, CliArg::kFlag, nullptr, kChanges,
       N_("read and compare only (no \"S\" is sent);\nreport the values that would change")},
      {kOptExitCode, "exit-code", 0, CliArg::kFlag, nullptr, "write apply",
       N_("with --check: exit 3 when a unit's values would change")},
      {kOptDiff, "diff", 0, CliArg::kFlag, nullptr, kChanges,
       N_("show the values that change as before -> after;\n\"diff\" in the record")},
      {kOptForce, "force", 0, CliArg::kFlag, nullptr, kChanges,
       N_("write even where the unit already holds the values")},
      {kOptOperator, "operator", 0, CliArg::kValue, N_("NAME"), kRecorded,
       N_("who did the work, for the records (default: the\nlogin name)")},
      {kOptAgain, "again", 0, CliArg::kFlag, nullptr, "station",
       N_("set up a unit already done too")},
      {kOptQuiet, "quiet", 0, CliArg::kFlag, nullptr, "station", N_("no bell")},
      {kOptCsv, "csv", 0, CliArg::kFlag, nullptr, "report",
       N_("CSV for a spreadsheet (with a heading line)")},
      {kOptHelp, "help", 'h', CliArg::kFlag, nullptr, "*", N_("this text")},
      {kOptVersion, "version", 0, CliArg::kFlag, nullptr, "*", N_("the version")},
  };
  return p;
}

// Digits with an optional minus sign: a number, if perhaps too large.
bool IsWholeNumber(const std::string& text) {
  const size_t from = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > from && std::all_of(text.begin() + static_cast<long>(from), text.end(),
                                           [](char ch) { return ch >= '0' && ch <= '9'; });
}

bool TakeInt(const CliArgument& a, int* target, std::string* error) {
  if (ParseStrictInt(a.value, target)) return true;
  *error = IsWholeNumber(a.value)
               ? std::string(Tr(kTextOutOfRange)) + ": " + a.spelled + " " + a.value
               : TrF("%s: not a number: %s", {a.spelled, a.value});
  return false;
}

bool TakeName(const CliArgument& a, std::string* target, std::string* error) {
  *target = a.value;
  if (!a.value.empty()) return true;
  *error = TrF("%s: the name is empty", {a.spelled});
  return false;
}

// A file the user names: one rule for every such option (CtlFileArgs.h).
bool TakeFile(const CliArgument& a, std::string* target, std::string* error) {
  *target = a.value;
  *error = FileNameProblem(a.spelled, a.value);
  return error->empty();
}

// One option's value into the command; false with the message.
bool ApplyOption(const CliArgument& a, CtlCommand* c, std::string* error) {
  switch (a.option->id) {
    case kOptHelp:
      c->help = a.On();
      return true;
    case kOptVersion:
      c->version = a.On();
      return true;
    case kOptPort: {
      std::string port;
      if (!TakeName(a, &port, error)) return false;
      c->ports.push_back(port);
      return true;
    }
    case kOptAll:
      c->all = a.On();
      return true;
    case kOptBaud:
      if (!TakeInt(a, &c->baud, error)) return false;
      if (std::find(std::begin(kBaudRates), std::end(kBaudRates), c->baud) ==
          std::end(kBaudRates)) {
        *error = std::string(Tr(kTextOutOfRange)) + ": --baud " + a.value +
                 " (38400, 19200, 9600, 4800)";
        return false;
      }
      return true;
    case kOptPace:
      if (a.value != "fixed" && a.value != "fast") {
        *error = TrF("--pace is fixed or fast: %s", {a.value});
        return false;
      }
      c->pace = a.value == "fast" ? Pace::kFast : Pace::kFixed;
      return true;
    case kOptTimeout:
      if (!TakeInt(a, &c->timeoutMs, error)) return false;
      if (c->timeoutMs < 1 || c->timeoutMs > kMaxTimeoutMs) {
        *error = std::string(Tr(kTextOutOfRange)) + ": --timeout " + a.value + " (" +
                 TrF("%s to %s", {"1", "60000"}) + ")";
        return false;
      }
      return true;
    case kOptRecord:
      return TakeFile(a, &c->recordPath, error);
    case kOptJson:
      c->json = a.On();
      return true;
    case kOptSettings:
      // An unset variable must not mean the default settings file, whose
      // [ports] may lead COM numbers to other units.
      return TakeFile(a, &c->settingsPath, error);
    case kOptTrace:
      return TakeFile(a, &c->tracePath, error);
    case kOptPlan:
      return TakeFile(a, &c->planPath, error);
    case kOptChannel:
      c->channelGiven = true;
      return TakeInt(a, &c->params.channel, error);
    case kOptId:
      c->idGiven = true;
      return TakeInt(a, &c->params.id, error);
    case kOptRetry:
      c->retryGiven = true;
      if (a.value == "infinite") {
        c->params.retryCount = -1;
      } else if (!ParseStrictInt(a.value, &c->params.retryCount)) {
        *error = TrF("%s: a number or infinite: %s", {a.spelled, a.value});
        return false;
      }
      return true;
    case kOptInterval:
      c->intervalGiven = true;
      return TakeInt(a, &c->params.retryInterval, error);
    case kOptCheck:
      c->check = a.On();
      return true;
    case kOptExitCode:
      c->exitCode = a.On();
      return true;
    case kOptDiff:
      c->diff = a.On();
      return true;
    case kOptForce:
      c->force = a.On();
      return true;
    case kOptOperator:
      return TakeName(a, &c->operatorName, error);
    case kOptAgain:
      c->again = a.On();
      return true;
    case kOptQuiet:
      c->quiet = a.On();
      return true;
    case kOptCsv:
      c->csv = a.On();
      return true;
  }
  return true;
}

// What goes together and what is missing, once every option is in.
bool CheckCommand(CtlCommand* c, const std::vector<std::string>& operands, bool timeoutGiven,
                  bool paceGiven, std::string* error) {
  if (c->verb == CtlVerb::kNone) {
    *error = Tr("no command");
    return false;
  }
  if (timeoutGiven && c->pace != Pace::kFast && c->verb != CtlVerb::kScan) {
    *error = Tr("--timeout is only for --pace fast (fixed keeps the window's waits)");
    return false;
  }
  if (c->force && c->check) {
    *error = Tr("--force and --check cannot go together");
    return false;
  }
  if (c->exitCode && !c->check) {
    *error = Tr("--exit-code is only for --check");
    return false;
  }
  if (c->verb == CtlVerb::kScan && !timeoutGiven) c->timeoutMs = kDefaultScanWaitMs;
  if (c->verb == CtlVerb::kReport) {
    if (operands.size() != 1) {
      *error = Tr("report needs one record file");
      return false;
    }
    c->file = operands[0];
    *error = FileNameProblem(Tr("the record file"), c->file);
    return error->empty();
  }
  if (!c->planPath.empty()) {
    if (!operands.empty() || !c->ports.empty() || c->all) {
      *error = Tr(
          "--plan takes no profile, no -p and no --all (the plan's port column names the ports)");
      return false;
    }
    return true;
  }
  const bool takesFile =
      c->verb == CtlVerb::kSave || c->verb == CtlVerb::kApply || c->verb == CtlVerb::kStation;
  if (operands.size() > (takesFile ? 1u : 0u)) {
    *error = TrF("extra argument: %s", {operands.back()});
    return false;
  }
  if (takesFile) {
    if (operands.empty()) {
      *error = TrF("%s needs the name of a profile file", {VerbName(c->verb)});
      return false;
    }
    c->file = operands[0];
    *error = FileNameProblem(Tr("the profile"), c->file);
    if (!error->empty()) return false;
  }
  switch (c->verb) {
    case CtlVerb::kPorts:
    case CtlVerb::kStation:
      return true;
    case CtlVerb::kScan:
      if (c->baud != 0 || paceGiven) {
        *error =
            Tr("scan tries the four speeds as fast as replies come (it takes no -b and no --pace)");
        return false;
      }
      return true;
    case CtlVerb::kSave:
      if (c->ports.size() != 1) {
        *error = Tr("save takes one port only (-p PORT)");
        return false;
      }
      return true;
    default:
      break;
  }
  if (c->all == !c->ports.empty()) {
    *error = c->all ? Tr("-p and --all cannot go together") : Tr("no port (-p PORT or --all)");
    return false;
  }
  if (c->verb == CtlVerb::kWrite) {
    if (!(c->channelGiven && c->idGiven && c->retryGiven && c->intervalGiven)) {
      *error = std::string(Tr(kTextEnterParams)) + ": " +
               Tr("--channel, --id, --retry and --interval are all needed");
      return false;
    }
    const std::string range = CheckParamRanges(c->params);
    if (!range.empty()) {
      *error = range;
      return false;
    }
  }
  return true;
}

}  // namespace

const CliProgram& CtlProgram() {
  static const CliProgram program = MakeProgram();
  return program;
}

const char* VerbName(CtlVerb verb) {
  for (const VerbEntry& v : kVerbs) {
    if (v.verb == verb) return v.name;
  }
  return "";
}

std::string CtlUsage(CtlVerb verb) {
  return CliUsage(CtlProgram(),
                  verb == CtlVerb::kNone ? nullptr : CliFindVerb(CtlProgram(), VerbName(verb)));
}

bool ParseCtlArgs(int argc, const char* const* argv, CtlCommand* c, std::string* error) {
  *c = CtlCommand();
  CliParsed parsed;
  if (!CliParse(CtlProgram(), std::vector<std::string>(argv, argv + argc), &parsed, error)) {
    return false;
  }
  for (const VerbEntry& v : kVerbs) {
    if (parsed.verb && parsed.verb->name == std::string(v.name)) c->verb = v.verb;
  }
  c->help = parsed.help;
  bool timeoutGiven = false, paceGiven = false;
  for (const CliArgument& a : parsed.options) {
    if (!ApplyOption(a, c, error)) return false;
    timeoutGiven |= a.option->id == kOptTimeout;
    paceGiven |= a.option->id == kOptPace;
  }
  if (c->help || c->version) return true;
  return CheckCommand(c, parsed.operands, timeoutGiven, paceGiven, error);
}
