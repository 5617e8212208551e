#include "ProfileText.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Vertical tab, form feed and the old end-of-file mark (0x1A) are blanks
// too, as the platform's reader has them.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

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
  bool bare = false;    // a key line without "=": the value is empty
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
    // A line ends at LF, at CR LF, or at a CR alone (files from old editors).
    size_t end = m_text.find_first_of("\r\n", begin);
    *line = Line();
    if (end == std::string_view::npos) {
      end = m_text.size();
      line->next = end;
    } else {
      const bool crLf = m_text[end] == '\r' && end + 1 < m_text.size() && m_text[end + 1] == '\n';
      line->next = end + (crLf ? 2 : 1);
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
      // Without its "]" the line opens no section; the keys after it stay
      // in the section before, as the platform's own reader has it.
      const size_t close = rest.find(']', 1);
      if (close == std::string_view::npos) return true;
      line->kind = Line::kSection;
      line->name = Trim(rest.substr(1, close - 1));
      return true;
    }
    // A line without "=" names a key with an empty value; a write gives
    // that line its value rather than adding a second one.
    const size_t eqInRest = rest.find('=');
    if (eqInRest == std::string_view::npos) {
      const std::string_view name = Trim(rest);
      line->kind = Line::kKey;
      line->bare = true;
      line->name = name;
      line->valueBegin = line->valueEnd =
          static_cast<size_t>(name.data() - m_text.data()) + name.size();
      return true;
    }
    const size_t eq = first + eqInRest;
    line->kind = Line::kKey;
    // A name ends at a NUL, as the platform's reader ends it.
    std::string_view name = m_text.substr(first, eq - first);
    name = Trim(name.substr(0, name.find('\0')));
    line->name = name;
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
  bool bare = false;
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
        scan.bare = line.bare;
        scan.valueBegin = line.valueBegin;
        scan.valueEnd = line.valueEnd;
        break;
      }
    }
  }
  return scan;
}

// The first LF decides between LF and CR LF. A file of lone CRs only gets
// CR LF: a new line ending in a lone CR placed before an empty LF line would
// join with it.
std::string_view LineEndingOf(std::string_view text, std::string_view fallback) {
  const size_t lf = text.find('\n');
  if (lf == std::string_view::npos) {
    return text.find('\r') == std::string_view::npos ? fallback : "\r\n";
  }
  return (lf > 0 && text[lf - 1] == '\r') ? "\r\n" : "\n";
}

// The text a key line holds: it ends at a NUL byte, as the platform's reader
// ends it, then blanks and one pair of matching quotes go.
std::string ValueOf(std::string_view text, size_t begin, size_t end) {
  std::string_view value = text.substr(begin, end - begin);
  const size_t nul = value.find('\0');
  if (nul != std::string_view::npos) value = Trim(value.substr(0, nul));
  return std::string(Unquote(value));
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::optional<std::string> ProfileFindValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  const Scan scan = ScanFor(text, Trim(section), Trim(key));
  if (!scan.keyFound) return std::nullopt;
  return ValueOf(text, scan.valueBegin, scan.valueEnd);
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
        entries.emplace_back(std::string(line.name), ValueOf(text, line.valueBegin, line.valueEnd));
      }
    }
  }
  return entries;
}

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int ProfileParseInt(std::string_view value, int fallback) {
  value = Trim(value);
  if (value.empty()) return fallback;
  size_t i = 0;
  bool negative = false;
  if (value[0] == '+' || value[0] == '-') {
    negative = value[0] == '-';
    ++i;
  }
  // "0x", "0o" and "0b" (lower case only) choose base 16, 8 and 2, as the
  // platform's reader has it; anything else is decimal, "010" included.
  int base = 10;
  if (i + 1 < value.size() && value[i] == '0') {
    const char mark = value[i + 1];
    base = mark == 'x' ? 16 : mark == 'o' ? 8 : mark == 'b' ? 2 : 10;
    if (base != 10) i += 2;
  }
  // The digits wrap modulo 2^32, as the platform's reader has them:
  // "2147483648" reads INT_MIN and "4294967295" reads -1 (an absent key).
  uint32_t magnitude = 0;
  for (; i < value.size(); ++i) {
    const int digit = DigitValue(value[i]);
    if (digit < 0 || digit >= base) break;
    magnitude = magnitude * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

std::optional<std::string> ProfileSetValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value,
                                           std::string_view newLineBreak) {
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
    if (scan.bare) out.append("=");
    out.append(value);
    out.append(text.substr(scan.valueEnd));
    return out;
  }

  const std::string_view eol = LineEndingOf(text, newLineBreak);
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
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out.append(eol);
  out.append("[").append(section).append("]").append(eol);
  out.append(keyLine);
  return out;
}

namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(uint32_t unit, bool bigEndian, std::string* out) {
  const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
  out->push_back(bigEndian ? high : low);
  out->push_back(bigEndian ? low : high);
}

// The next code point of UTF-8 text at *i, or false for a malformed,
// overlong or surrogate sequence.
bool NextUtf8(std::string_view s, size_t* i, uint32_t* cp) {
  const unsigned char lead = static_cast<unsigned char>(s[*i]);
  int extra;
  uint32_t min;
  if (lead < 0x80) {
    *cp = lead;
    ++*i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, min = 0x80, *cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, min = 0x800, *cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, min = 0x10000, *cp = lead & 0x07;
  } else {
    return false;
  }
  if (*i + static_cast<size_t>(extra) >= s.size()) return false;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[*i + static_cast<size_t>(k)]);
    if ((c & 0xC0) != 0x80) return false;
    *cp = (*cp << 6) | (c & 0x3F);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return false;
  *i += static_cast<size_t>(extra) + 1;
  return true;
}

}  // namespace

bool ProfileDecode(std::string_view raw, std::string* text, ProfileEncoding* encoding) {
  text->clear();
  *encoding = ProfileEncoding::kBytes;
  const bool bigEndian = raw.substr(0, 2) == kUtf16BeMark;
  if (!bigEndian && raw.substr(0, 2) != kUtf16LeMark) {
    text->assign(raw);
    return true;
  }
  *encoding = bigEndian ? ProfileEncoding::kUtf16Be : ProfileEncoding::kUtf16Le;
  if (raw.size() % 2 != 0) return false;
  text->reserve(raw.size());
  const size_t lowByte = bigEndian ? 1 : 0;
  auto unitAt = [raw, lowByte](size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(raw[i + lowByte])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(raw[i + 1 - lowByte])) << 8);
  };
  for (size_t i = 2; i < raw.size(); i += 2) {
    uint32_t cp = unitAt(i);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 2 >= raw.size()) return false;
      const uint32_t low = unitAt(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return false;
    }
    AppendUtf8(cp, text);
  }
  return true;
}

bool ProfileEncode(std::string_view text, ProfileEncoding encoding, std::string* raw) {
  raw->clear();
  if (encoding == ProfileEncoding::kBytes) {
    raw->assign(text);
    return true;
  }
  const bool bigEndian = encoding == ProfileEncoding::kUtf16Be;
  raw->reserve(2 * text.size() + 2);
  raw->append(bigEndian ? kUtf16BeMark : kUtf16LeMark);
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    if (!NextUtf8(text, &i, &cp)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUtf16(0xD800 + (cp >> 10), bigEndian, raw);
      AppendUtf16(0xDC00 + (cp & 0x3FF), bigEndian, raw);
    } else {
      AppendUtf16(cp, bigEndian, raw);
    }
  }
  return true;
}
