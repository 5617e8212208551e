// The INI text rules over arbitrary file contents.
//
// The first bytes choose a section and a key (real names, odd spellings of
// them and names that cannot be stored) and a value; the rest is the file.
// Reading must give the same answer through the key look-up and the
// section listing, and a found value must read as the C library reads a
// number. Writing the value must fail exactly for the names that
// cannot be stored; otherwise the value must read back, a second identical
// write must change nothing, and every line of the old text must survive
// byte for byte, apart from the key's own line when it existed, new lines
// (at most the section and the key) when it did not, and a line break added
// to a last line that lacked one.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "ProfileText.h"

namespace {

struct Name {
  const char* text;
  bool storable;
};

const Name kSections[] = {
    {"position", true}, {"com", true}, {"ports", true}, {"COM", true},
    {" com\t", true},   {"a b", true}, {"x[y", true},   {";s", true},
    {"", false},        {"  ", false}, {"a]b", false},  {"a\nb", false},
};
const Name kKeys[] = {
    {"left", true},  {"top", true}, {"com", true}, {"bps", true},   {"BpS", true},
    {" top ", true}, {"a b", true}, {"k;x", true}, {"x]", true},    {"", false},
    {"a=b", false},  {";c", false}, {"[d", false}, {"e\rf", false},
};
constexpr size_t kSectionCount = sizeof kSections / sizeof kSections[0];
constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
  const char* const kBlanks = " \t\r";
  const size_t b = s.find_first_not_of(kBlanks);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Lines with their ends (LF, CR LF or a lone CR) kept, so joining them gives
// the text back.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t at = text.find_first_of("\r\n", begin);
    size_t end = text.size();
    if (at != std::string_view::npos) {
      end = at + 1;
      if (text[at] == '\r' && end < text.size() && text[end] == '\n') ++end;
    }
    lines.push_back(text.substr(begin, end - begin));
    begin = end;
  }
  return lines;
}

bool GainedLineBreak(std::string_view before, std::string_view after) {
  if (before.empty() || before.back() == '\n' || before.back() == '\r') return false;
  if (after.size() < before.size() || after.substr(0, before.size()) != before) return false;
  const std::string_view added = after.substr(before.size());
  return added == "\n" || added == "\r\n";
}

void CheckLinesKept(std::string_view text, std::string_view edited, bool keyExisted) {
  const std::vector<std::string_view> before = Lines(text);
  const std::vector<std::string_view> after = Lines(edited);
  if (keyExisted) {
    // The value is replaced inside its line; no line appears or goes.
    FUZZ_CHECK(before.size() == after.size());
    int changed = 0;
    for (size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i];
    FUZZ_CHECK(changed <= 1);
    return;
  }
  // Old lines in order, each kept (the last may gain a line break); every
  // other line of the result is new.
  size_t j = 0;
  int added = 0;
  for (std::string_view line : after) {
    if (j < before.size() &&
        (line == before[j] || (j + 1 == before.size() && GainedLineBreak(before[j], line)))) {
      ++j;
    } else {
      ++added;
    }
  }
  FUZZ_CHECK(j == before.size());
  FUZZ_CHECK(added >= 1 && added <= 2);
}

// A stored number reads as its digits, wrapped modulo 2^32 into an int, in
// the base its "0x", "0o" or "0b" mark names (lower case; decimal without);
// an empty value gives the fallback.
void CheckParseInt(const std::string& value) {
  std::string_view rest = Trim(value);
  if (rest.empty()) {
    FUZZ_CHECK(ProfileParseInt(value, -7) == -7);
    return;
  }
  const bool negative = rest[0] == '-';
  if (rest[0] == '-' || rest[0] == '+') rest.remove_prefix(1);
  int base = 10;
  if (rest.size() >= 2 && rest[0] == '0') {
    base = rest[1] == 'x' ? 16 : rest[1] == 'o' ? 8 : rest[1] == 'b' ? 2 : 10;
    if (base != 10) rest.remove_prefix(2);
  }
  // The digits of the base wrap modulo 2^32, as the platform reads them;
  // so does the sign.
  const char* const kDigits = "0123456789abcdefABCDEF";
  unsigned long long wrapped = 0;
  for (const char c : rest) {
    const char* at = c == '\0' ? nullptr : std::strchr(kDigits, c);
    if (at == nullptr) break;
    const int digit =
        at - kDigits < 16 ? static_cast<int>(at - kDigits) : static_cast<int>(at - kDigits) - 6;
    if (digit >= base) break;
    wrapped = (wrapped * static_cast<unsigned>(base) + static_cast<unsigned>(digit)) % (1ULL << 32);
  }
  if (negative) wrapped = ((1ULL << 32) - wrapped) % (1ULL << 32);
  const long long expected = wrapped >= (1ULL << 31) ? static_cast<long long>(wrapped) - (1LL << 32)
                                                     : static_cast<long long>(wrapped);
  FUZZ_CHECK(ProfileParseInt(value, -7) == static_cast<int>(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6 || size > 8192) return 0;
  const Name& section = kSections[data[0] % kSectionCount];
  const Name& key = kKeys[data[1] % kKeyCount];
  int value;
  std::memcpy(&value, data + 2, sizeof value);
  const std::string_view text(reinterpret_cast<const char*>(data) + 6, size - 6);

  // The look-up and the section listing must agree.
  const std::optional<std::string> found = ProfileFindValue(text, section.text, key.text);
  if (found) CheckParseInt(*found);
  std::optional<std::string> listed;
  for (const auto& entry : ProfileSectionEntries(text, section.text)) {
    if (SameName(entry.first, Trim(key.text))) {
      listed = entry.second;
      break;
    }
  }
  FUZZ_CHECK(found == listed);

  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", value);
  const std::optional<std::string> edited = ProfileSetValue(text, section.text, key.text, digits);
  FUZZ_CHECK(edited.has_value() == (section.storable && key.storable));
  if (!edited) return 0;

  const std::optional<std::string> readBack = ProfileFindValue(*edited, section.text, key.text);
  FUZZ_CHECK(readBack && *readBack == digits);
  FUZZ_CHECK(ProfileParseInt(*readBack, -1) == value);
  FUZZ_CHECK(ProfileSetValue(*edited, section.text, key.text, digits) == edited);
  CheckLinesKept(text, *edited, found.has_value());
  return 0;
}
