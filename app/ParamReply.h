// The unit's parameter lines: splitting an "R" reply into the four values and
// building the "S" command that writes them. Pure functions, no Qt; the main
// dialog calls them on the user-interface thread.
//
// An "R" reply is "channel id retrycount interval": the first three fields
// are separated by blanks (0x20 only, runs of them skipped), the fourth is
// everything after the blank that ends the third, so blanks at its start are
// skipped by the conversion. Each field converts like DecimalToInt: a leading
// number or 0, clamped to the 32-bit range.
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

// reply is the NUL-terminated text of count characters that the exchange
// stored; no byte past reply[count - 1] is read, even if the terminator is
// missing. The split stops at the first NUL. params is written only on kOk.
ReadReplyResult ParseReadReply(const char* reply, int count, UnitParams* params);

// "S %d %d %d %d" with channel, id, retry count and interval.
std::string FormatWriteCommand(const UnitParams& params);
