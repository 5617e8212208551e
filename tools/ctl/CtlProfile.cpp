#include "CtlProfile.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "CtlText.h"
#include "ProfileFile.h"
#include "ProfileText.h"
#include "ProgramSettings.h"
#include "ToolConsole.h"
#include "UnitLimits.h"

namespace {

struct Key {
  const char* name;
  int UnitParams::*field;
  ParamRange range;
};

constexpr Key kKeys[] = {
    {"channel", &UnitParams::channel, kChannelRange},
    {"id", &UnitParams::id, kIdRange},
    {"retry_count", &UnitParams::retryCount, kRetryCountRange},
    {"retry_interval", &UnitParams::retryInterval, kRetryIntervalRange},
};

bool InRange(const Key& key, int value) {
  if (key.field == &UnitParams::retryCount && value == kInfiniteRetry) return true;
  return key.range.Holds(value);
}

std::string RangeText(const Key& key) {
  std::string text =
      TrF("%s to %s", {std::to_string(key.range.low), std::to_string(key.range.high)});
  if (key.field == &UnitParams::retryCount) text += Tr(" or -1 (infinite)");
  return text;
}

}  // namespace

std::string TrimBlanks(const std::string& s) {
  const size_t from = s.find_first_not_of(" \t");
  if (from == std::string::npos) return {};
  return s.substr(from, s.find_last_not_of(" \t") - from + 1);
}

std::string AsciiLower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

bool ParseStrictInt(const std::string& text, int* value) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 10) return false;
  long long v = 0;
  for (size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    v = v * 10 + (text[k] - '0');
  }
  if (i == 1) v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

std::string CheckParamRanges(const UnitParams& params) {
  for (const Key& key : kKeys) {
    const int value = params.*key.field;
    if (!InRange(key, value)) {
      return std::string(Tr(kTextOutOfRange)) + ": " + key.name + " = " + std::to_string(value) +
             " (" + RangeText(key) + ")";
    }
  }
  return {};
}

bool IsStandardStream(const std::string& path) { return path == "-" || path == "/dev/stdout"; }

namespace {

// Text as a profile holds it: no NUL and no control character but tab,
// line breaks and the DOS end-of-file mark.
bool LooksLikeText(const std::string& text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != 0x1A) return false;
  }
  return true;
}

// The settings layer takes the first [parameters] and the first of each
// key; a second one in a hand-edited profile is a mistake the user must
// see, not a value silently passed over.
std::string FindRepeat(const std::string& text) {
  bool inParameters = false;
  int sections = 0;
  std::map<std::string, int> keys;
  int lineNo = 0;
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimBlanks(text.substr(at, end - at));
    ++lineNo;
    at = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      if (close == std::string::npos) continue;
      inParameters = AsciiLower(TrimBlanks(line.substr(1, close - 1))) == kProfileSection;
      if (inParameters && ++sections > 1) {
        return TrF("line %s: [%s] is there twice", {std::to_string(lineNo), kProfileSection});
      }
      continue;
    }
    const size_t eq = line.find('=');
    if (!inParameters || eq == std::string::npos) continue;
    const std::string key = AsciiLower(TrimBlanks(line.substr(0, eq)));
    const auto [it, fresh] = keys.emplace(key, lineNo);
    if (!fresh) {
      return TrF("line %s: %s is there twice (on line %s too)",
                 {std::to_string(lineNo), key, std::to_string(it->second)});
    }
  }
  return {};
}

bool ReadStandardInput(std::string* raw) {
  raw->clear();
  char buf[64 * 1024];
  for (;;) {
    const size_t n = std::fread(buf, 1, sizeof buf, stdin);
    raw->append(buf, n);
    if (raw->size() > kMaxProfileBytes) return false;
    if (n < sizeof buf) return std::ferror(stdin) == 0;
  }
}

}  // namespace

bool ParseProfile(const std::string& text, const std::string& path, UnitParams* params,
                  std::string* error) {
  if (!LooksLikeText(text)) {
    *error = TrF("the profile is not a text INI file: %s", {path});
    return false;
  }
  const std::string repeat = FindRepeat(text);
  if (!repeat.empty()) {
    *error = TrF("the profile %s, %s", {path, repeat});
    return false;
  }
  UnitParams read{};
  for (const Key& key : kKeys) {
    const std::optional<std::string> value = ProfileFindValue(text, kProfileSection, key.name);
    if (!value || value->empty()) {
      *error = std::string(Tr(kTextEnterParams)) + ": " + path + ": " +
               TrF("[%s] %s is missing", {kProfileSection, key.name});
      return false;
    }
    if (!ParseStrictInt(*value, &(read.*key.field))) {
      *error = TrF("a value of the profile is not a number: %s: %s = %s", {path, key.name, *value});
      return false;
    }
  }
  const std::string range = CheckParamRanges(read);
  if (!range.empty()) {
    *error = range + ": " + path;
    return false;
  }
  *params = read;
  return true;
}

bool ReadProfile(const std::string& path, UnitParams* params, std::string* error) {
  std::string raw;
  if (path == "-") {
    if (!ReadStandardInput(&raw)) {
      *error = Tr("cannot read the profile from standard input");
      return false;
    }
  } else {
    const std::string problem = FileProblem(path);
    if (!problem.empty()) {
      *error = TrF("the profile %s: %s", {problem, path});
      return false;
    }
    ReadProfileFile(path, &raw);
  }
  std::string text;
  ProfileEncoding encoding;
  if (!ProfileDecode(raw, &text, &encoding)) {
    *error = TrF("cannot read the character encoding of the profile: %s", {path});
    return false;
  }
  return ParseProfile(text, path == "-" ? Tr("(standard input)") : path, params, error);
}

bool CheckProfileDestination(const std::string& path, std::string* error) {
  if (IsStandardStream(path)) return true;
  std::string raw, text;
  ProfileEncoding encoding;
  switch (ReadProfileFile(path, &raw)) {
    case ProfileReadResult::kOk:
      if (!ProfileDecode(raw, &text, &encoding)) {
        *error =
            TrF("cannot read the character encoding of the profile, so it is not overwritten: %s",
                {path});
        return false;
      }
      if (!LooksLikeText(text)) {
        *error = TrF("not a text INI file, so it is not overwritten: %s", {path});
        return false;
      }
      return true;
    case ProfileReadResult::kMissing: {
      std::error_code ec;
      const std::filesystem::path folder = std::filesystem::u8path(path).parent_path().empty()
                                               ? std::filesystem::path(".")
                                               : std::filesystem::u8path(path).parent_path();
      if (!std::filesystem::is_directory(folder, ec)) {
        *error = TrF("the profile's folder does not exist: %s", {path});
        return false;
      }
      return true;
    }
    case ProfileReadResult::kFailed:
      break;
  }
  *error = TrF("the profile %s, so it is not overwritten: %s", {FileProblem(path), path});
  return false;
}

bool WriteProfile(const std::string& path, const UnitParams& params, std::string* error) {
  std::string raw, text;
  ProfileEncoding encoding = ProfileEncoding::kBytes;
  if (!IsStandardStream(path)) {
    if (!CheckProfileDestination(path, error)) return false;
    if (ReadProfileFile(path, &raw) == ProfileReadResult::kOk) {
      ProfileDecode(raw, &text, &encoding);
    }
  }
  for (const Key& key : kKeys) {
    std::optional<std::string> edited = ProfileSetValue(
        text, kProfileSection, key.name, std::to_string(params.*key.field), kNewFileLineBreak);
    if (!edited) {
      *error = TrF("cannot make the profile: %s", {path});
      return false;
    }
    text = std::move(*edited);
  }
  if (IsStandardStream(path)) {
    if (!WriteStdout(text)) {
      *error = Tr("cannot write the profile to standard output");
      return false;
    }
    return true;
  }
  if (!ProfileEncode(text, encoding, &raw) || !ReplaceProfileFile(path, raw)) {
    *error = TrF("cannot write the profile: %s", {path});
    return false;
  }
  return true;
}
