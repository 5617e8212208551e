// The command line of every tool from one table: the subcommands and the
// options a program takes (long and short name, argument, the subcommands
// that take each, help text) drive the parsing, --help and the completion
// of shells, so that none of them can drift from the others. The help texts
// are English; the catalogue (CliText.h) gives them in the user's language.
//
// The parser knows only spelling: which option, which value, which words
// are left. What a value means, and which options go together, is the
// program's to check. Pure; any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class CliArg {
  kFlag,      // --json; --json=true and --json=false say it outright
  kValue,     // --port PORT, --port=PORT, -p PORT, -pPORT
  kOptional,  // --slow or --slow=MS, never a separate word
};

struct CliOption {
  int id;            // the program's own name for it
  const char* name;  // long name, without "--"
  char shortName;    // 0: none
  CliArg arg;
  const char* argName;        // "PORT" in the help; nullptr for a flag
  const char* verbs;          // subcommands that take it, blank-separated; "*" every one
  const char* help;           // English; "" leaves it out of --help (hidden)
  const char* complete = "";  // its values: "port", "file", "file:ini", "words:a b"
};

struct CliVerb {
  const char* name;
  const char* synopsis;       // what follows "program name" in its usage line(s)
  const char* summary;        // its line in the overview
  const char* description;    // the paragraph of "program name --help"
  const char* operands = "";  // completion of its other words, as CliOption::complete
};

struct CliProgram {
  const char* name;
  const char* synopsis;        // the usage line after the name
  const char* description;     // the overview's paragraph
  const char* epilogue;        // after the commands (exit codes and such); may be ""
  std::vector<CliVerb> verbs;  // empty: a program without subcommands
  std::vector<CliOption> options;
  // Unknown options are someone else's (a toolkit's): left in operands,
  // not refused.
  bool othersPass = false;
};

struct CliArgument {
  const CliOption* option = nullptr;
  std::string spelled;  // as typed: "-p", "--port"
  std::string value;    // "true"/"false" for a flag
  bool hasValue = false;
  bool On() const { return value != "false"; }
};

struct CliParsed {
  const CliVerb* verb = nullptr;
  bool help = false;                 // "help [COMMAND]" was the subcommand
  std::vector<CliArgument> options;  // in the order given
  std::vector<std::string> operands;
};

// Parses the words after the program's name. "--" ends the options; "-"
// is a word like any file name. False with the message in *error for an
// unknown command or option (with the nearest spelling offered), a missing
// value, a flag given another value than true or false, or an option the
// subcommand does not take.
bool CliParse(const CliProgram& program, const std::vector<std::string>& args, CliParsed* parsed,
              std::string* error);

// The --help text: of the subcommand, or the overview for nullptr.
std::string CliUsage(const CliProgram& program, const CliVerb* verb);

const CliVerb* CliFindVerb(const CliProgram& program, const std::string& name);
bool CliTakes(const CliOption& option, const CliVerb* verb);

// The candidates for the last of the words after the program's name (it
// may be empty), one a line. ports gives the names of the ports present
// (COMn and device paths) for values of kind "port".
std::string CliComplete(const CliProgram& program, const std::vector<std::string>& words,
                        const std::function<std::vector<std::string>()>& ports);

// The number of one-character edits between two words.
int EditDistance(const std::string& a, const std::string& b);
