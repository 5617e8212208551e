#include "ParamReply.h"

#include <cstdio>
#include <cstring>

#include "DecimalText.h"

namespace {

// The unit answers "R" with 17 or 18 characters; anything else is not a
// parameter line.
constexpr int kReplyLengthShort = 17;
constexpr int kReplyLengthLong = 18;

// Returns the next blank-separated token of text starting at *pos, and moves
// *pos past the blank that ends it. Empty when only blanks are left.
std::string NextToken(const std::string& text, std::size_t* pos) {
  std::size_t p = *pos;
  while (p < text.size() && text[p] == ' ') ++p;
  const std::size_t start = p;
  while (p < text.size() && text[p] != ' ') ++p;
  std::string token = text.substr(start, p - start);
  if (p < text.size()) ++p;  // the blank that ended the token
  *pos = p;
  return token;
}

}  // namespace

ReadReplyResult ParseReadReply(const char* reply, int count, UnitParams* params) {
  if (reply == nullptr || (count != kReplyLengthShort && count != kReplyLengthLong)) {
    return ReadReplyResult::kWrongLength;
  }
  // The reply counts as text up to its first NUL, never past count.
  const std::string text(reply, strnlen(reply, static_cast<std::size_t>(count)));

  std::size_t pos = 0;
  std::string fields[4];
  for (int i = 0; i < 3; ++i) {
    fields[i] = NextToken(text, &pos);
    if (fields[i].empty()) return ReadReplyResult::kMissingFields;
  }
  fields[3] = text.substr(pos);
  if (fields[3].empty()) return ReadReplyResult::kMissingFields;

  params->channel = DecimalToInt(fields[0].c_str());
  params->id = DecimalToInt(fields[1].c_str());
  params->retryCount = DecimalToInt(fields[2].c_str());
  params->retryInterval = DecimalToInt(fields[3].c_str());
  return ReadReplyResult::kOk;
}

std::string FormatWriteCommand(const UnitParams& params) {
  // Four ints with sign and separators need at most 2 + 4 * 12 bytes.
  char line[64];
  std::snprintf(line, sizeof line, "S %d %d %d %d", params.channel, params.id, params.retryCount,
                params.retryInterval);
  return line;
}
