// A strict reader for the tools' JSON lines, so that tests look at fields
// rather than at the text: one object per line, the grammar of RFC 8259
// without arrays (the records have none), and nothing a strict reader would
// let pass: invalid UTF-8, raw control characters, lone surrogates, trailing
// bytes.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::map<std::string, JsonValue> fields;

  // The field, or a null value when there is none.
  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue kNone;
    const auto it = fields.find(key);
    return it == fields.end() ? kNone : it->second;
  }
  bool Has(const std::string& key) const { return fields.count(key) != 0; }
};

class CJsonReader {
 public:
  explicit CJsonReader(const std::string& text) : m_text(text) {}

  std::optional<JsonValue> Line() {
    JsonValue v;
    if (!Object(&v)) return std::nullopt;
    Blanks();
    if (m_at != m_text.size()) return std::nullopt;
    return v;
  }

 private:
  void Blanks() {
    while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t')) ++m_at;
  }
  bool Take(char c) {
    Blanks();
    if (m_at < m_text.size() && m_text[m_at] == c) {
      ++m_at;
      return true;
    }
    return false;
  }
  bool Word(const char* w) {
    const std::string word = w;
    if (m_text.compare(m_at, word.size(), word) != 0) return false;
    m_at += word.size();
    return true;
  }
  bool Object(JsonValue* v) {
    v->kind = JsonValue::kObject;
    if (!Take('{')) return false;
    if (Take('}')) return true;
    do {
      JsonValue key, value;
      Blanks();
      if (!String(&key) || !Take(':') || !Value(&value)) return false;
      if (!v->fields.emplace(key.text, value).second) return false;  // a key twice
    } while (Take(','));
    return Take('}');
  }
  bool Value(JsonValue* v) {
    Blanks();
    if (m_at >= m_text.size()) return false;
    const char c = m_text[m_at];
    if (c == '{') return Object(v);
    if (c == '"') return String(v);
    if (Word("true") || Word("false")) {
      v->kind = JsonValue::kBool;
      v->boolean = m_text[m_at - 1] == 'e' && m_text[m_at - 2] == 'u';
      return true;
    }
    if (Word("null")) return true;
    return Number(v);
  }
  bool Number(JsonValue* v) {
    const size_t from = m_at;
    if (m_at < m_text.size() && m_text[m_at] == '-') ++m_at;
    const size_t digits = m_at;
    while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') ++m_at;
    if (m_at == digits || (m_text[digits] == '0' && m_at - digits > 1)) return false;
    v->kind = JsonValue::kNumber;
    v->number = std::strtod(m_text.substr(from, m_at - from).c_str(), nullptr);
    return true;
  }
  bool Hex4(unsigned* u) {
    if (m_at + 4 > m_text.size()) return false;
    *u = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = m_text[m_at++];
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) return false;
      *u = *u * 16 + static_cast<unsigned>(d);
    }
    return true;
  }
  static void Put(std::string* out, unsigned u) {
    if (u < 0x80) {
      *out += static_cast<char>(u);
    } else if (u < 0x800) {
      *out += static_cast<char>(0xC0 | (u >> 6));
      *out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
      *out += static_cast<char>(0xE0 | (u >> 12));
      *out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (u >> 18));
      *out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  // One UTF-8 character at m_at, checked as strictly as a decoder must.
  bool Utf8(std::string* out) {
    const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
    int n = c >= 0xC2 && c <= 0xDF   ? 2
            : c >= 0xE0 && c <= 0xEF ? 3
            : c >= 0xF0 && c <= 0xF4 ? 4
                                     : 0;
    if (n == 0 || m_at + static_cast<size_t>(n) > m_text.size()) return false;
    unsigned u = c & (0x7F >> n);
    for (int k = 1; k < n; ++k) {
      const unsigned char b = static_cast<unsigned char>(m_text[m_at + static_cast<size_t>(k)]);
      if ((b & 0xC0) != 0x80) return false;
      u = (u << 6) | (b & 0x3F);
    }
    const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (u < least[n] || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return false;
    out->append(m_text, m_at, static_cast<size_t>(n));
    m_at += static_cast<size_t>(n);
    return true;
  }
  bool String(JsonValue* v) {
    v->kind = JsonValue::kString;
    if (m_at >= m_text.size() || m_text[m_at] != '"') return false;
    ++m_at;
    while (m_at < m_text.size()) {
      const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
      if (c == '"') {
        ++m_at;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        if (!Utf8(&v->text)) return false;
        continue;
      }
      ++m_at;
      if (c != '\\') {
        v->text += static_cast<char>(c);
        continue;
      }
      if (m_at >= m_text.size()) return false;
      const char e = m_text[m_at++];
      const std::string simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      const size_t k = simple.find(e);
      if (k != std::string::npos) {
        v->text += meaning[k];
        continue;
      }
      unsigned u = 0;
      if (e != 'u' || !Hex4(&u)) return false;
      if (u >= 0xDC00 && u <= 0xDFFF) return false;
      if (u >= 0xD800 && u <= 0xDBFF) {
        unsigned low = 0;
        if (!Word("\\u") || !Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      }
      Put(&v->text, u);
    }
    return false;
  }

  const std::string& m_text;
  size_t m_at = 0;
};

inline std::optional<JsonValue> ParseJsonLine(const std::string& line) {
  return CJsonReader(line).Line();
}
