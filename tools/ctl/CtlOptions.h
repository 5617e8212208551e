// The command line of zeta7ctl: a subcommand and its options, checked before
// anything is sent to any unit. The table of subcommands and options
// (CtlProgram) drives the parsing, --help and completion; adding a
// subcommand or an option is a row there and a case in ApplyOption. Pure;
// main thread.
#pragma once

#include <string>
#include <vector>

#include "CUnitSession.h"
#include "CliParser.h"
#include "ParamReply.h"

enum class CtlVerb { kNone, kPorts, kScan, kInfo, kRead, kWrite, kSave, kApply, kStation, kReport };

struct CtlCommand {
  CtlVerb verb = CtlVerb::kNone;
  bool help = false;
  bool version = false;
  std::vector<std::string> ports;  // as given
  bool all = false;
  int baud = 0;  // 0: the settings file's speed
  Pace pace = Pace::kFixed;
  int timeoutMs = kDefaultFastTimeoutMs;
  std::string recordPath;
  bool json = false;
  std::string settingsPath;
  std::string file;          // the profile of save and apply
  std::string planPath;      // apply --plan: a CSV of units and their values
  bool force = false;        // write even where the unit holds the values
  bool check = false;        // read and compare only: no "S"
  bool exitCode = false;     // with check: a pending change is exit kExitChangesPending
  bool diff = false;         // before -> after per unit
  std::string tracePath;     // every byte of every port; a DIR/ gives a file a port
  std::string operatorName;  // --operator: who, for the records ("" the login name)
  bool again = false;        // station: serve a unit already done too
  bool quiet = false;        // station: no bell
  bool csv = false;          // report: CSV instead of lines
  UnitParams params{};
  bool channelGiven = false, idGiven = false, retryGiven = false, intervalGiven = false;
};

// zeta7ctl's subcommands and options.
const CliProgram& CtlProgram();

// argv[0] excluded. False with a message in *error (a usage error).
bool ParseCtlArgs(int argc, const char* const* argv, CtlCommand* command, std::string* error);

// The help text: of the verb, or the overview for kNone.
std::string CtlUsage(CtlVerb verb);

const char* VerbName(CtlVerb verb);
