// The unit's parameter lines: splitting an "R" reply into the four values and
// building the "S" command that writes them.
#pragma once

#include <string>

struct UnitParams {
  int channel;
  int id;
  int retryCount;  // -1 means infinite retry
  int retryInterval;
};

enum class ReadReplyResult {
  kOk,
  kWrongLength,   // not 17 or 18 characters
  kMissingFields  // right length but fewer than four fields
};

// reply is the NUL-terminated text of count characters that the exchange stored.
ReadReplyResult ParseReadReply(const char* reply, int count, UnitParams* params);

// "S %d %d %d %d" with channel, id, retry count and interval.
std::string FormatWriteCommand(const UnitParams& params);
