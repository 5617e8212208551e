#include "CliParser.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "CliText.h"

namespace {

std::vector<std::string> Words(const char* text) {
  std::istringstream in(text ? text : "");
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string JoinAnd(const std::vector<std::string>& words) {
  std::string out;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += i + 1 == words.size() ? Tr(" and ") : ", ";
    out += words[i];
  }
  return out;
}

// The nearest of the candidates, if near enough to be a slip of the hand.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates) {
  std::string best;
  int bestDistance = 0;
  for (const std::string& c : candidates) {
    const int d = EditDistance(word, c);
    if (best.empty() || d < bestDistance) best = c, bestDistance = d;
  }
  // One slip in a short word, two from five letters, three from nine.
  const int allowed = std::min<int>(3, 1 + static_cast<int>(word.size()) / 4);
  return !best.empty() && bestDistance <= allowed ? best : std::string();
}

std::string WithSuggestion(std::string message, const std::string& nearest) {
  if (!nearest.empty()) message += TrF(" (did you mean %s?)", {nearest});
  return message;
}

// The subcommand's options first: the nearest of them wins a tie.
std::vector<std::string> LongNames(const CliProgram& p, const CliVerb* verb) {
  std::vector<std::string> names;
  for (const bool own : {true, false}) {
    for (const CliOption& o : p.options) {
      if (*o.name != '\0' && *o.help != '\0' && CliTakes(o, verb) == own) {
        names.push_back(std::string("--") + o.name);
      }
    }
  }
  return names;
}

const CliOption* FindLong(const CliProgram& p, const std::string& name) {
  for (const CliOption& o : p.options) {
    if (*o.name != '\0' && name == o.name) return &o;
  }
  return nullptr;
}

const CliOption* FindShort(const CliProgram& p, char c) {
  for (const CliOption& o : p.options) {
    if (o.shortName != 0 && o.shortName == c) return &o;
  }
  return nullptr;
}

bool IsOptionWord(const std::string& w) { return w.size() > 1 && w[0] == '-'; }

}  // namespace

int EditDistance(const std::string& a, const std::string& b) {
  // Insertions, deletions, substitutions and swaps of two neighbours ("raed").
  std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = static_cast<int>(i);
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

const CliVerb* CliFindVerb(const CliProgram& program, const std::string& name) {
  for (const CliVerb& v : program.verbs) {
    if (name == v.name) return &v;
  }
  return nullptr;
}

bool CliTakes(const CliOption& option, const CliVerb* verb) {
  if (std::string(option.verbs) == "*") return true;
  if (!verb) return false;
  const std::vector<std::string> verbs = Words(option.verbs);
  return std::find(verbs.begin(), verbs.end(), verb->name) != verbs.end();
}

bool CliParse(const CliProgram& p, const std::vector<std::string>& args, CliParsed* out,
              std::string* error) {
  *out = CliParsed();
  const bool hasVerbs = !p.verbs.empty();
  bool ended = false;
  bool verbSeen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!ended && arg == "--") {
      ended = true;
      continue;
    }
    if (ended || !IsOptionWord(arg)) {
      if (hasVerbs && !verbSeen) {
        verbSeen = true;
        if (arg == "help") {
          out->help = true;
          continue;
        }
        out->verb = CliFindVerb(p, arg);
        if (!out->verb) {
          std::vector<std::string> names{"help"};
          for (const CliVerb& v : p.verbs) names.push_back(v.name);
          *error = WithSuggestion(TrF("unknown command: %s", {arg}), Nearest(arg, names));
          return false;
        }
        continue;
      }
      if (out->help && !out->verb && hasVerbs) {
        out->verb = CliFindVerb(p, arg);
        if (!out->verb) {
          *error = TrF("unknown command: %s", {arg});
          return false;
        }
        continue;
      }
      out->operands.push_back(arg);
      continue;
    }

    CliArgument a;
    if (arg.compare(0, 2, "--") == 0) {
      const size_t eq = arg.find('=');
      a.spelled = arg.substr(0, eq);
      a.option = FindLong(p, a.spelled.substr(2));
      if (eq != std::string::npos) a.value = arg.substr(eq + 1), a.hasValue = true;
      if (!a.option && p.othersPass) {
        out->operands.push_back(arg);
        continue;
      }
      if (!a.option) {
        *error = WithSuggestion(TrF("unknown option: %s", {a.spelled}),
                                Nearest(a.spelled, LongNames(p, out->verb)));
        return false;
      }
    } else {
      a.spelled = arg.substr(0, 2);
      a.option = FindShort(p, arg[1]);
      if (!a.option && p.othersPass) {
        out->operands.push_back(arg);
        continue;
      }
      if (!a.option) {
        *error = TrF("unknown option: %s", {a.spelled});
        return false;
      }
      if (arg.size() > 2) {
        if (a.option->arg == CliArg::kFlag) {
          *error = TrF("%s takes no value: %s", {a.spelled, arg});
          return false;
        }
        a.value = arg.substr(2), a.hasValue = true;
      }
    }
    switch (a.option->arg) {
      case CliArg::kFlag:
        if (!a.hasValue) {
          a.value = "true";
        } else if (a.value != "true" && a.value != "false") {
          *error = TrF("%s is true or false, not %s", {a.spelled, a.value});
          return false;
        }
        break;
      case CliArg::kValue:
        if (!a.hasValue) {
          if (i + 1 >= args.size()) {
            *error = TrF("%s needs a value", {a.spelled});
            return false;
          }
          a.value = args[++i];
          a.hasValue = true;
        }
        break;
      case CliArg::kOptional:
        break;
    }
    out->options.push_back(a);
  }
  // Only now is the subcommand known that every option must belong to.
  for (const CliArgument& a : out->options) {
    if (CliTakes(*a.option, out->verb) || (!hasVerbs) || out->help) continue;
    if (!out->verb) continue;  // the program says a command is missing
    const std::vector<std::string> verbs = Words(a.option->verbs);
    *error = verbs.size() <= 2 ? TrF("%s is only for %s", {a.spelled, JoinAnd(verbs)})
                               : TrF("%s takes no %s", {out->verb->name, a.spelled});
    return false;
  }
  return true;
}

namespace {

std::string OptionLine(const CliOption& o) {
  std::string left = "  ";
  left += o.shortName ? std::string("-") + o.shortName + ", " : std::string("    ");
  left += std::string("--") + o.name;
  if (o.arg == CliArg::kValue) left += std::string(" ") + Tr(o.argName);
  if (o.arg == CliArg::kOptional) left += std::string("[=") + Tr(o.argName) + "]";
  const size_t column = 24;
  std::string help = Tr(o.help);
  // Continuation lines of a help text line up under its first.
  for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1)) {
    help.insert(at + 1, std::string(column, ' '));
  }
  if (left.size() + 2 > column) return left + "\n" + std::string(column, ' ') + help + "\n";
  return left + std::string(column - left.size(), ' ') + help + "\n";
}

std::string OptionBlock(const CliProgram& p, const CliVerb* verb, bool everyOne) {
  std::string out;
  for (const CliOption& o : p.options) {
    if (*o.help == '\0') continue;
    if (*o.name == '\0') {  // a heading over the options that follow
      if (everyOne) out += std::string(Tr(o.help)) + "\n";
      continue;
    }
    const bool all = std::string(o.verbs) == "*";
    if (everyOne ? CliTakes(o, verb) : all) out += OptionLine(o);
  }
  return out;
}

}  // namespace

std::string CliUsage(const CliProgram& p, const CliVerb* verb) {
  std::string out = Tr("Usage:");
  if (verb) {
    const std::vector<std::string> lines = [&] {
      std::vector<std::string> l;
      std::istringstream in(Tr(verb->synopsis));
      for (std::string s; std::getline(in, s);) l.push_back(s);
      return l;
    }();
    const std::string indent(std::string(Tr("Usage:")).size(), ' ');
    for (size_t i = 0; i < lines.size(); ++i) {
      out += (i == 0 ? " " : indent + " ") + std::string(p.name) + " " + verb->name +
             (lines[i].empty() ? "" : " " + lines[i]) + "\n";
    }
    out += "\n" + std::string(Tr(verb->description)) + "\n\n" + Tr("Options:") + "\n" +
           OptionBlock(p, verb, true);
    return out;
  }
  out += std::string(" ") + p.name + " " + Tr(p.synopsis) + "\n\n" + Tr(p.description) + "\n";
  if (!p.verbs.empty()) {
    out += std::string("\n") + Tr("Commands:") + "\n";
    for (const CliVerb& v : p.verbs) {
      std::string left = std::string("  ") + v.name;
      left += std::string(12 - std::min<size_t>(left.size(), 11), ' ');
      out += left + Tr(v.summary) + "\n";
    }
  }
  if (*p.epilogue) out += std::string("\n") + Tr(p.epilogue) + "\n";
  const bool headed = !p.options.empty() && *p.options[0].name == '\0';
  out += "\n" + (headed ? std::string() : std::string(Tr("Options:")) + "\n") +
         OptionBlock(p, nullptr, p.verbs.empty());
  return out;
}

namespace {

// Files and folders under the prefix being typed; folders end in "/" so
// that the shell descends into them.
void AddFiles(const std::string& kind, const std::string& prefix, std::vector<std::string>* out) {
  const std::string ext = kind.size() > 5 ? "." + kind.substr(5) : std::string();
  // "/" everywhere; "\\" too, as Windows users type it.
  const size_t slash = prefix.find_last_of("/\\");
  const char separator = slash == std::string::npos ? '/' : prefix[slash];
  const std::string dirPart = slash == std::string::npos ? "" : prefix.substr(0, slash + 1);
  std::error_code ec;
  std::filesystem::directory_iterator it(dirPart.empty() ? "." : dirPart, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string full = dirPart + name;
    if (full.compare(0, prefix.size(), prefix) != 0) continue;
    if (name[0] == '.' && (prefix.size() == dirPart.size() || prefix[dirPart.size()] != '.')) {
      continue;
    }
    std::error_code dirError;
    if (it->is_directory(dirError)) {
      out->push_back(full + separator);
      continue;
    }
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext.empty() || (lower.size() > ext.size() &&
                        lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0)) {
      out->push_back(full);
    }
  }
}

void AddValues(const std::string& kind, const std::string& prefix,
               const std::function<std::vector<std::string>()>& ports,
               std::vector<std::string>* out) {
  if (kind == "port") {
    if (ports) {
      for (const std::string& name : ports()) out->push_back(name);
    }
    if (!prefix.empty() && prefix[0] == '/') AddFiles("file", prefix, out);
  } else if (kind.compare(0, 4, "file") == 0) {
    AddFiles(kind, prefix, out);
  } else if (kind.compare(0, 6, "words:") == 0) {
    for (const std::string& w : Words(kind.c_str() + 6)) out->push_back(w);
  }
}

}  // namespace

std::string CliComplete(const CliProgram& p, const std::vector<std::string>& words,
                        const std::function<std::vector<std::string>()>& ports) {
  const std::string cur = words.empty() ? std::string() : words.back();
  const size_t before = words.empty() ? 0 : words.size() - 1;
  const CliVerb* verb = nullptr;
  bool help = false, ended = false, verbSeen = p.verbs.empty();
  const CliOption* pending = nullptr;  // an option whose value is being typed
  for (size_t i = 0; i < before; ++i) {
    const std::string& w = words[i];
    pending = nullptr;
    if (!ended && w == "--") {
      ended = true;
    } else if (!ended && IsOptionWord(w)) {
      const CliOption* o = w.compare(0, 2, "--") == 0
                               ? FindLong(p, w.substr(2))
                               : (w.size() == 2 ? FindShort(p, w[1]) : nullptr);
      if (o && o->arg == CliArg::kValue && w.find('=') == std::string::npos) {
        if (i + 1 < before) {
          ++i;
        } else {
          pending = o;
        }
      }
    } else if (!verbSeen) {
      verbSeen = true;
      help = w == "help";
      verb = CliFindVerb(p, w);
    }
  }
  std::vector<std::string> found;
  if (pending) {
    AddValues(pending->complete, cur, ports, &found);
  } else if (!ended && cur.compare(0, 2, "--") == 0 && cur.find('=') != std::string::npos) {
    const size_t eq = cur.find('=');
    const CliOption* o = FindLong(p, cur.substr(2, eq - 2));
    std::vector<std::string> values;
    if (o && o->arg == CliArg::kFlag) values = {"true", "false"};
    if (o && o->arg != CliArg::kFlag) AddValues(o->complete, cur.substr(eq + 1), ports, &values);
    for (const std::string& v : values) found.push_back(cur.substr(0, eq + 1) + v);
  } else if (!ended && !cur.empty() && cur[0] == '-') {
    for (const CliOption& o : p.options) {
      if (*o.help != '\0' && *o.name != '\0' &&
          (CliTakes(o, verb) || (!verbSeen && p.verbs.empty()))) {
        found.push_back(std::string("--") + o.name);
      }
    }
  } else if (!verbSeen) {
    found.push_back("help");
    for (const CliVerb& v : p.verbs) found.push_back(v.name);
  } else if (help) {
    if (!verb) {
      for (const CliVerb& v : p.verbs) found.push_back(v.name);
    }
  } else if (verb) {
    AddValues(verb->operands, cur, ports, &found);
  }
  std::string out;
  std::vector<std::string> shown;
  for (const std::string& f : found) {
    if (std::find(shown.begin(), shown.end(), f) != shown.end()) continue;
    shown.push_back(f);
    if (f.compare(0, cur.size(), cur) == 0) {
      out += f + "\n";
    }
  }
  return out;
}
