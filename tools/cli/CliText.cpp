#include "CliText.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>

// po/ja.po as msgfmt compiled it, embedded by the build (CliCatalogue.cpp).
extern const unsigned char kCatalogueJa[];
extern const size_t kCatalogueJaSize;

namespace {

CliLanguage g_language = CliLanguage::kEnglish;

using Catalogue = std::unordered_map<std::string_view, const char*>;

uint32_t Word(const unsigned char* at, bool swapped) {
  uint32_t w;
  std::memcpy(&w, at, 4);
  return swapped ? __builtin_bswap32(w) : w;
}

// A .mo file: a magic number, the count, and two tables of (length, offset)
// pairs, the originals' and the translations'; every string ends in NUL.
Catalogue ReadMo(const unsigned char* mo, size_t size) {
  Catalogue c;
  if (size < 28) return c;
  const bool swapped = Word(mo, false) == 0xde120495u;
  if (!swapped && Word(mo, false) != 0x950412deu) return c;
  const uint32_t count = Word(mo + 8, swapped);
  const uint32_t originals = Word(mo + 12, swapped);
  const uint32_t translations = Word(mo + 16, swapped);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t o = originals + 8ull * i, t = translations + 8ull * i;
    if (o + 8 > size || t + 8 > size) break;
    const uint32_t oLen = Word(mo + o, swapped), oAt = Word(mo + o + 4, swapped);
    const uint32_t tLen = Word(mo + t, swapped), tAt = Word(mo + t + 4, swapped);
    if (uint64_t{oAt} + oLen >= size || uint64_t{tAt} + tLen >= size || oLen == 0) continue;
    c.emplace(std::string_view(reinterpret_cast<const char*>(mo + oAt), oLen),
              reinterpret_cast<const char*>(mo + tAt));
  }
  return c;
}

const Catalogue& Japanese() {
  static const Catalogue catalogue = ReadMo(kCatalogueJa, kCatalogueJaSize);
  return catalogue;
}

// "ja_JP.UTF-8", "ja", "ja_JP@x": the language is what stands before "_", "." or "@".
std::string_view LanguagePart(std::string_view locale) {
  return locale.substr(0, locale.find_first_of("_.@"));
}

}  // namespace

CliLanguage LanguageOfVariables(const char* lcAll, const char* lcMessages, const char* lang,
                                const char* language, CliLanguage system) {
  auto set = [](const char* v) { return v != nullptr && *v != '\0'; };
  const char* locale = set(lcAll)        ? lcAll
                       : set(lcMessages) ? lcMessages
                       : set(lang)       ? lang
                                         : nullptr;
  // Only the plain C locale passes LANGUAGE over; "C.UTF-8" names no
  // language itself but lets LANGUAGE choose, as gettext does.
  if (locale && (std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)) {
    return CliLanguage::kEnglish;
  }
  if (locale && set(language)) {
    std::string_view list = language;
    while (!list.empty()) {
      const std::string_view entry = list.substr(0, list.find(':'));
      const std::string_view name = LanguagePart(entry);
      if (name == "ja") return CliLanguage::kJapanese;
      if (name == "en") return CliLanguage::kEnglish;
      list.remove_prefix(std::min(list.size(), entry.size() + 1));
    }
  }
  if (!locale) return system;
  return LanguagePart(locale) == "ja" ? CliLanguage::kJapanese : CliLanguage::kEnglish;
}

void SetLanguage(CliLanguage language) { g_language = language; }
CliLanguage CurrentLanguage() { return g_language; }

const char* Tr(const char* english) { return TrIn(g_language, english); }

const char* TrIn(CliLanguage language, const char* english) {
  if (language != CliLanguage::kJapanese || english == nullptr || *english == '\0') {
    return english;
  }
  const Catalogue& c = Japanese();
  const auto it = c.find(english);
  return it != c.end() && *it->second != '\0' ? it->second : english;
}

std::string Fill(const std::string& pattern, std::initializer_list<std::string> args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%' || i + 1 >= pattern.size()) {
      out += pattern[i];
      continue;
    }
    size_t index = next;
    size_t j = i + 1;
    if (pattern[j] >= '1' && pattern[j] <= '9' && pattern.compare(j + 1, 2, "$s") == 0) {
      index = static_cast<size_t>(pattern[j] - '1');
      j += 2;
    } else if (pattern[j] == 's') {
      ++next;
    } else {
      out += pattern[i];
      continue;
    }
    if (index < args.size()) out += *(args.begin() + index);
    i = j;
  }
  return out;
}

std::string TrF(const char* english, std::initializer_list<std::string> args) {
  return Fill(Tr(english), args);
}

size_t CatalogueSize() { return Japanese().size(); }

CliLanguage LanguageOfEnvironment() {
  return LanguageOfVariables(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"),
                             std::getenv("LANGUAGE"), SystemLanguage());
}
