// The tools' JSON lines read back with nlohmann's parser, so that tests look
// at fields rather than at the text. The parser refuses what RFC 8259 does
// (invalid UTF-8, raw control characters, lone surrogates, trailing bytes);
// a key twice in one object, which it would let pass with the last value,
// is refused here as well.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

// One object per line, or nothing when the line is not strict JSON.
inline std::optional<nlohmann::json> ParseJsonLine(const std::string& line) {
  using nlohmann::json;
  std::vector<size_t> keys;  // keys read so far, one count per open object
  bool twice = false;
  const json::parser_callback_t count = [&](int, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) keys.push_back(0);
    if (event == json::parse_event_t::key) ++keys.back();
    if (event == json::parse_event_t::object_end) {
      twice = twice || parsed.size() != keys.back();
      keys.pop_back();
    }
    return true;
  };
  const json v = json::parse(line, count, false);
  if (v.is_discarded() || !v.is_object() || twice) return std::nullopt;
  return v;
}
