#include "ProfileText.h"

#include <climits>
#include <cstdint>
#include <unordered_set>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
    return s.substr(1, s.size() - 2);
  }
  return s;
}

// One line of the text as offsets into it.
struct Line {
  enum Kind { kOther, kSection, kKey };
  Kind kind = kOther;
  std::string_view name;  // section or key name, trimmed
  size_t valueBegin = 0;  // key lines: the trimmed value's offsets
  size_t valueEnd = 0;
  size_t next = 0;      // offset just past the line's LF (or the text's end)
  bool hasEol = false;  // false only for a last line without LF
};

// Walks the text line by line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : m_text(text) {
    if (m_text.substr(0, kUtf8Bom.size()) == kUtf8Bom) m_pos = kUtf8Bom.size();
  }

  bool Next(Line* line) {
    if (m_pos >= m_text.size()) return false;
    const size_t begin = m_pos;
    size_t end = m_text.find('\n', begin);
    *line = Line();
    if (end == std::string_view::npos) {
      end = m_text.size();
      line->next = end;
    } else {
      line->next = end + 1;
      line->hasEol = true;
    }
    m_pos = line->next;

    size_t first = begin;
    while (first < end && IsBlank(m_text[first])) ++first;
    if (first == end || m_text[first] == ';') return true;
    // Searches stay inside the line: looking past its end for a "]" or "="
    // that is not there would make many short lines quadratic.
    const std::string_view rest = m_text.substr(first, end - first);
    if (rest[0] == '[') {
      const size_t close = rest.find(']', 1);
      const size_t nameEnd = close == std::string_view::npos ? rest.size() : close;
      line->kind = Line::kSection;
      line->name = Trim(rest.substr(1, nameEnd - 1));
      return true;
    }
    const size_t eqInRest = rest.find('=');
    if (eqInRest == std::string_view::npos) return true;
    const size_t eq = first + eqInRest;
    line->kind = Line::kKey;
    line->name = Trim(m_text.substr(first, eq - first));
    size_t vb = eq + 1;
    size_t ve = end;
    while (vb < ve && IsBlank(m_text[vb])) ++vb;
    while (ve > vb && IsBlank(m_text[ve - 1])) --ve;
    line->valueBegin = vb;
    line->valueEnd = ve;
    return true;
  }

 private:
  std::string_view m_text;
  size_t m_pos = 0;
};

// What a look-up or an edit needs to know about one section and key.
struct Scan {
  bool sectionFound = false;
  // Where a new key goes: just past the last key line of the section, or
  // past its header; and whether that line ends in a line break.
  size_t insertAt = 0;
  bool insertLineHasEol = true;
  bool keyFound = false;
  size_t valueBegin = 0;
  size_t valueEnd = 0;
};

Scan ScanFor(std::string_view text, std::string_view section, std::string_view key) {
  Scan scan;
  LineReader reader(text);
  Line line;
  bool inSection = false;
  while (reader.Next(&line)) {
    if (line.kind == Line::kSection) {
      if (inSection) break;  // only the first matching section counts
      if (SameName(line.name, section)) {
        inSection = true;
        scan.sectionFound = true;
        scan.insertAt = line.next;
        scan.insertLineHasEol = line.hasEol;
      }
    } else if (inSection && line.kind == Line::kKey) {
      scan.insertAt = line.next;
      scan.insertLineHasEol = line.hasEol;
      if (SameName(line.name, key)) {
        scan.keyFound = true;
        scan.valueBegin = line.valueBegin;
        scan.valueEnd = line.valueEnd;
        break;
      }
    }
  }
  return scan;
}

std::string_view LineEndingOf(std::string_view text) {
  const size_t lf = text.find('\n');
  return (lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::optional<std::string> ProfileFindValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  const Scan scan = ScanFor(text, Trim(section), Trim(key));
  if (!scan.keyFound) return std::nullopt;
  return std::string(Unquote(text.substr(scan.valueBegin, scan.valueEnd - scan.valueBegin)));
}

std::vector<std::pair<std::string, std::string>> ProfileSectionEntries(std::string_view text,
                                                                       std::string_view section) {
  std::vector<std::pair<std::string, std::string>> entries;
  section = Trim(section);
  LineReader reader(text);
  Line line;
  std::unordered_set<std::string> seen;  // lower-cased names already taken
  bool inSection = false;
  while (reader.Next(&line)) {
    if (line.kind == Line::kSection) {
      if (inSection) break;
      inSection = SameName(line.name, section);
    } else if (inSection && line.kind == Line::kKey) {
      std::string lowered(line.name);
      for (char& c : lowered) c = Lower(c);
      if (seen.insert(std::move(lowered)).second) {
        entries.emplace_back(
            std::string(line.name),
            std::string(Unquote(text.substr(line.valueBegin, line.valueEnd - line.valueBegin))));
      }
    }
  }
  return entries;
}

int ProfileParseInt(std::string_view value, int fallback) {
  value = Trim(value);
  if (value.empty()) return fallback;
  size_t i = 0;
  bool negative = false;
  if (value[0] == '+' || value[0] == '-') {
    negative = value[0] == '-';
    ++i;
  }
  // Accumulate in 64 bits and stop growing once past the int range, so a
  // long run of digits cannot overflow.
  constexpr int64_t kLimit = static_cast<int64_t>(INT_MAX) + 1;
  int64_t magnitude = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (value[i] - '0');
  }
  if (negative) return magnitude >= kLimit ? INT_MIN : static_cast<int>(-magnitude);
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

std::optional<std::string> ProfileSetValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[') {
    return std::nullopt;
  }

  const Scan scan = ScanFor(text, section, key);
  std::string out;
  if (scan.keyFound) {
    out.reserve(text.size() + value.size());
    out.append(text.substr(0, scan.valueBegin));
    out.append(value);
    out.append(text.substr(scan.valueEnd));
    return out;
  }

  const std::string_view eol = LineEndingOf(text);
  std::string keyLine;
  keyLine.append(key).append("=").append(value).append(eol);
  if (scan.sectionFound) {
    out.reserve(text.size() + keyLine.size() + eol.size());
    out.append(text.substr(0, scan.insertAt));
    if (!scan.insertLineHasEol) out.append(eol);
    out.append(keyLine);
    out.append(text.substr(scan.insertAt));
    return out;
  }

  out.reserve(text.size() + section.size() + keyLine.size() + 2 * eol.size() + 2);
  out.append(text);
  if (!out.empty() && out.back() != '\n') out.append(eol);
  out.append("[").append(section).append("]").append(eol);
  out.append(keyLine);
  return out;
}
