#include <cerrno>
#include <climits>
#include <cstdlib>

#include "CliParser.h"
#include "SimUnit.h"

namespace {

enum {
  kHeading = -1,
  kHelp,
  kVersion,
  kBaud,
  kUnitBaud,
  kLink,
  kLog,
  kQuitOnEof,
  kChannel,
  kId,
  kRetry,
  kInterval,
  kUnitVersion,
  kR16,
  kR18,
  kR19,
  kSilent,
  kNoEcho,
  kWrongPrompt,
  kGarbage,
  kSlow,
  kOverlong,
  kNul,
  kLowerOk,
  kNoStore,
  kLowerV,
  kStream,
  kHangup,
  kSeed,
  kReplay,
  kReplayPort,
};

const CliProgram& SimProgram() {
  static const CliProgram program{
      "zeta7-sim",
      "[options]",
      "A simulated ZETA-7 unit on a pseudo-terminal. The first line on standard\n"
      "output is the device path to open; the unit runs until SIGTERM or SIGINT.",
      "",
      {},
      {
          {kHeading, "", 0, CliArg::kFlag, nullptr, "", "Line:"},
          {kBaud, "baud", 0, CliArg::kValue, "N|line", "*",
           "pace output at N bit/s (10 bits a byte); \"line\", the\n"
           "default, follows the speed the program sets on the port",
           "words:line 38400 19200 9600 4800"},
          {kUnitBaud, "unit-baud", 0, CliArg::kValue, "N", "*",
           "the unit talks at N bit/s only: at another line speed\n"
           "it sends noise back for what it hears and answers nothing",
           "words:38400 19200 9600 4800"},
          {kLink, "link", 0, CliArg::kValue, "PATH", "*",
           "keep a symlink PATH to the device (an old symlink there is\n"
           "replaced; removed at exit)",
           "file"},
          {kLog, "log", 0, CliArg::kValue, "FILE", "*",
           "append every received byte, unchanged, to FILE", "file"},
          {kQuitOnEof, "quit-on-eof", 0, CliArg::kFlag, nullptr, "*",
           "also exit when standard input reaches its end"},
          {kHeading, "", 0, CliArg::kFlag, nullptr, "", "Unit:"},
          {kChannel, "channel", 0, CliArg::kValue, "N", "*", "channel at start (default 12)"},
          {kId, "id", 0, CliArg::kValue, "N", "*", "ID at start (default 3)"},
          {kRetry, "retry", 0, CliArg::kValue, "N", "*", "retry count at start (default 5)"},
          {kInterval, "interval", 0, CliArg::kValue, "N", "*",
           "retry interval at start (default 1000)"},
          {kUnitVersion, "unit-version", 0, CliArg::kValue, "TEXT", "*",
           "version reply (default V1.02.03)"},
          {kR16, "r16", 0, CliArg::kFlag, nullptr, "*",
           "\"R\" reply of 16 characters instead of 17"},
          {kR18, "r18", 0, CliArg::kFlag, nullptr, "*", "\"R\" reply of 18 characters"},
          {kR19, "r19", 0, CliArg::kFlag, nullptr, "*", "\"R\" reply of 19 characters"},
          {kHeading, "", 0, CliArg::kFlag, nullptr, "", "Faults:"},
          {kSilent, "silent", 0, CliArg::kFlag, nullptr, "*", "neither echo nor answer"},
          {kNoEcho, "no-echo", 0, CliArg::kFlag, nullptr, "*", "answer without echoing"},
          {kWrongPrompt, "wrong-prompt", 0, CliArg::kFlag, nullptr, "*",
           "prompt \"ZETA7> \" (with a trailing blank)"},
          {kGarbage, "garbage", 0, CliArg::kFlag, nullptr, "*",
           "random bytes instead of every answer"},
          {kSlow, "slow", 0, CliArg::kOptional, "MS", "*",
           "MS ms (default 10) of silence before each answer byte"},
          {kOverlong, "overlong", 0, CliArg::kFlag, nullptr, "*",
           "V/R/S replies of 300 characters without line end"},
          {kNul, "nul", 0, CliArg::kFlag, nullptr, "*",
           "a NUL byte in the middle of V/R/S replies"},
          {kLowerOk, "lower-ok", 0, CliArg::kFlag, nullptr, "*",
           "\"ok\" instead of \"OK\" for an accepted \"S\""},
          {kNoStore, "no-store", 0, CliArg::kFlag, nullptr, "*",
           "\"OK\" for a valid \"S\", but the parameters stay as they were"},
          {kLowerV, "lower-v", 0, CliArg::kFlag, nullptr, "*",
           "version reply beginning with \"v\""},
          {kStream, "stream", 0, CliArg::kFlag, nullptr, "*",
           "after the first line, bytes without line ends forever"},
          {kHangup, "hangup", 0, CliArg::kFlag, nullptr, "*",
           "hang up halfway through the first V/R/S reply and exit\n"
           "(with --slow the program is then still reading)"},
          {kSeed, "seed", 0, CliArg::kValue, "N", "*", "seed of --garbage (default 1)"},
          {kHeading, "", 0, CliArg::kFlag, nullptr, "", "Replay:"},
          {kReplay, "replay", 0, CliArg::kValue, "FILE", "*",
           "answer as the unit in a zeta7ctl --trace file did: after\n"
           "the program's n-th line end, what the traced program\n"
           "received after its n-th (echo and all), with its pauses\n"
           "and a lost line where the trace lost it",
           "file"},
          {kReplayPort, "replay-port", 0, CliArg::kValue, "P", "*",
           "the port of the trace to replay (default its first)"},
          {kHelp, "help", 'h', CliArg::kFlag, nullptr, "*", "this text"},
          {kVersion, "version", 0, CliArg::kFlag, nullptr, "*", "the version of zeta7-sim"},
      }};
  return program;
}

bool ToInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

bool IsLineSpeed(const std::string& text, int& value) {
  return ToInt(text, value) && value >= 50 && value <= 4000000;
}

}  // namespace

std::string SimUsage() { return CliUsage(SimProgram(), nullptr); }

bool ParseSimArgs(int argc, const char* const* argv, SimOptions& options, bool& help, bool& version,
                  std::string& error) {
  help = false;
  version = false;
  CliParsed parsed;
  if (!CliParse(SimProgram(), std::vector<std::string>(argv, argv + argc), &parsed, &error)) {
    return false;
  }
  if (!parsed.operands.empty()) {
    error = "unknown option: " + parsed.operands[0];
    return false;
  }
  for (const CliArgument& a : parsed.options) {
    const std::string& v = a.value;
    bool ok = true;
    switch (a.option->id) {
      case kHelp:
        help = a.On();
        break;
      case kVersion:
        version = a.On();
        break;
      case kBaud:
        options.baud = 0;
        ok = v == "line" || IsLineSpeed(v, options.baud);
        break;
      case kUnitBaud:
        ok = IsLineSpeed(v, options.unitBaud);
        break;
      case kLink:
        options.linkPath = v, ok = !v.empty();
        break;
      case kLog:
        options.logPath = v, ok = !v.empty();
        break;
      case kQuitOnEof:
        options.quitOnEof = a.On();
        break;
      case kChannel:
        ok = ToInt(v, options.channel);
        break;
      case kId:
        ok = ToInt(v, options.id);
        break;
      case kRetry:
        ok = ToInt(v, options.retry);
        break;
      case kInterval:
        ok = ToInt(v, options.interval);
        break;
      case kUnitVersion:
        options.version = v;
        break;
      case kR16:
        options.paramWidth = a.On() ? 16 : 17;
        break;
      case kR18:
        options.paramWidth = a.On() ? 18 : 17;
        break;
      case kR19:
        options.paramWidth = a.On() ? 19 : 17;
        break;
      case kSilent:
        options.silent = a.On();
        break;
      case kNoEcho:
        options.noEcho = a.On();
        break;
      case kWrongPrompt:
        options.wrongPrompt = a.On();
        break;
      case kGarbage:
        options.garbage = a.On();
        break;
      case kSlow:
        options.slowGapMs = 10;
        ok = !a.hasValue ||
             (ToInt(v, options.slowGapMs) && options.slowGapMs >= 0 && options.slowGapMs <= 10000);
        break;
      case kOverlong:
        options.overlong = a.On();
        break;
      case kNul:
        options.nul = a.On();
        break;
      case kLowerOk:
        options.lowerOk = a.On();
        break;
      case kNoStore:
        options.noStore = a.On();
        break;
      case kLowerV:
        options.lowerV = a.On();
        break;
      case kStream:
        options.stream = a.On();
        break;
      case kHangup:
        options.hangup = a.On();
        break;
      case kSeed: {
        int seed = 0;
        ok = ToInt(v, seed);
        options.seed = static_cast<unsigned>(seed);
        break;
      }
      case kReplay:
        options.replayPath = v;
        break;
      case kReplayPort:
        options.replayPort = v;
        break;
    }
    if (!ok) {
      error = a.spelled + ": not a valid value: " + v;
      return false;
    }
  }
  return true;
}
