#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "SimUnit.h"

namespace {

bool ToInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

std::string SimUsage() {
  return R"(Usage: zeta7-sim [options]

A simulated ZETA-7 unit on a pseudo-terminal. The first line on standard
output is the device path to open; the unit runs until SIGTERM or SIGINT.

Line:
  --baud N|line     pace output at N bit/s (10 bits a byte); "line", the
                    default, follows the speed the program sets on the port
  --unit-baud N     the unit talks at N bit/s only: at another line speed
                    it sends noise back for what it hears and answers nothing
  --link PATH       keep a symlink PATH to the device (an old symlink there is
                    replaced; removed at exit)
  --log FILE        append every received byte, unchanged, to FILE
  --quit-on-eof     also exit when standard input reaches its end
Unit:
  --channel N --id N --retry N --interval N
                    parameters at start (default 12, 3, 5, 1000)
  --unit-version TEXT
                    version reply (default V1.02.03)
  --r16 --r18 --r19 "R" reply of 16, 18 or 19 characters instead of 17
Faults:
  --silent          neither echo nor answer
  --no-echo         answer without echoing
  --wrong-prompt    prompt "ZETA7> " (with a trailing blank)
  --garbage         random bytes instead of every answer
  --slow[=MS]       MS ms (default 10) of silence before each answer byte
  --overlong        V/R/S replies of 300 characters without line end
  --nul             a NUL byte in the middle of V/R/S replies
  --lower-ok        "ok" instead of "OK" for an accepted "S"
  --no-store        "OK" for a valid "S", but the parameters stay as they were
  --lower-v         version reply beginning with "v"
  --stream          after the first line, bytes without line ends forever
  --hangup          hang up halfway through the first V/R/S reply and exit
                    (with --slow the program is then still reading)
  --seed N          seed of --garbage (default 1)
Replay:
  --replay FILE     answer as the unit in a zeta7ctl --trace file did: after
                    the program's n-th line end, what the traced program
                    received after its n-th (echo and all), with its pauses
                    and a lost line where the trace lost it
  --replay-port P   the port of the trace to replay (default its first)
  --help            this text
  --version         the version of zeta7-sim
)";
}

bool ParseSimArgs(int argc, const char* const* argv, SimOptions& options, bool& help, bool& version,
                  std::string& error) {
  help = false;
  version = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      hasValue = true;
    }
    // Options that take a value accept "--opt value" and "--opt=value".
    auto takeValue = [&]() {
      if (hasValue) return true;
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto takeInt = [&](int& target) {
      if (!takeValue()) return false;
      if (!ToInt(value, target)) {
        error = arg + ": not a number: " + value;
        return false;
      }
      return true;
    };
    auto flag = [&](bool& target) {
      if (hasValue) {
        error = arg + " takes no value";
        return false;
      }
      target = true;
      return true;
    };

    bool ok = true;
    if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      ok = flag(version);
    } else if (arg == "--baud") {
      if (!takeValue()) return false;
      if (value == "line") {
        options.baud = 0;
      } else if (!ToInt(value, options.baud) || options.baud < 50 || options.baud > 4000000) {
        error = "--baud: not a line speed: " + value;
        return false;
      }
    } else if (arg == "--unit-baud") {
      if (!takeValue()) return false;
      if (!ToInt(value, options.unitBaud) || options.unitBaud < 50 || options.unitBaud > 4000000) {
        error = "--unit-baud: not a line speed: " + value;
        return false;
      }
    } else if (arg == "--replay" || arg == "--replay-port") {
      if (!takeValue()) return false;
      (arg == "--replay" ? options.replayPath : options.replayPort) = value;
    } else if (arg == "--link" || arg == "--log") {
      if (!takeValue()) return false;
      if (value.empty()) {
        error = arg + ": empty path";
        return false;
      }
      (arg == "--link" ? options.linkPath : options.logPath) = value;
    } else if (arg == "--quit-on-eof") {
      ok = flag(options.quitOnEof);
    } else if (arg == "--channel") {
      ok = takeInt(options.channel);
    } else if (arg == "--id") {
      ok = takeInt(options.id);
    } else if (arg == "--retry") {
      ok = takeInt(options.retry);
    } else if (arg == "--interval") {
      ok = takeInt(options.interval);
    } else if (arg == "--unit-version") {
      ok = takeValue();
      options.version = value;
    } else if (arg == "--r16" || arg == "--r18" || arg == "--r19") {
      bool chosen = false;
      ok = flag(chosen);
      options.paramWidth = std::atoi(arg.c_str() + 3);
    } else if (arg == "--silent") {
      ok = flag(options.silent);
    } else if (arg == "--no-echo") {
      ok = flag(options.noEcho);
    } else if (arg == "--wrong-prompt") {
      ok = flag(options.wrongPrompt);
    } else if (arg == "--garbage") {
      ok = flag(options.garbage);
    } else if (arg == "--slow") {
      options.slowGapMs = 10;
      if (hasValue && (!ToInt(value, options.slowGapMs) || options.slowGapMs < 0 ||
                       options.slowGapMs > 10000)) {
        error = "--slow: not a gap in ms: " + value;
        return false;
      }
    } else if (arg == "--overlong") {
      ok = flag(options.overlong);
    } else if (arg == "--nul") {
      ok = flag(options.nul);
    } else if (arg == "--lower-ok") {
      ok = flag(options.lowerOk);
    } else if (arg == "--no-store") {
      ok = flag(options.noStore);
    } else if (arg == "--lower-v") {
      ok = flag(options.lowerV);
    } else if (arg == "--stream") {
      ok = flag(options.stream);
    } else if (arg == "--hangup") {
      ok = flag(options.hangup);
    } else if (arg == "--seed") {
      int seed = 0;
      ok = takeInt(seed);
      options.seed = static_cast<unsigned>(seed);
    } else {
      error = "unknown option: " + arg;
      return false;
    }
    if (!ok) return false;
  }
  return true;
}
