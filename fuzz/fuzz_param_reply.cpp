// The split of an "R" reply into the four parameters.
//
// Arbitrary bytes are parsed twice: as the exchange leaves them (a copy
// with its terminator, count up to the first NUL, at most 255) and with
// count = the input's length in a buffer of exactly that many bytes and no
// terminator, which the parser promises never to read past. Either way
// params stays untouched unless the result is kOk, and kOk needs a count of
// 17 or 18. The first bytes of the input also give four numbers whose write
// command, less its "S ", must parse back to them whenever its length is
// one the unit uses.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzCheck.h"
#include "ParamReply.h"

namespace {

constexpr int kMaxReply = 255;  // the exchange's buffer holds 255 characters

bool Same(const UnitParams& a, const UnitParams& b) {
  return a.channel == b.channel && a.id == b.id && a.retryCount == b.retryCount &&
         a.retryInterval == b.retryInterval;
}

void ParseAndCheck(const char* reply, int count) {
  const UnitParams sentinel = {0x7A7A7A7A, -0x7A7A7A7A, 0x5A5A5A5A, -0x5A5A5A5A};
  UnitParams params = sentinel;
  const ReadReplyResult result = ParseReadReply(reply, count, &params);
  if (result == ReadReplyResult::kOk) {
    FUZZ_CHECK(count == 17 || count == 18);
  } else {
    FUZZ_CHECK(Same(params, sentinel));
  }
  if (count != 17 && count != 18) FUZZ_CHECK(result == ReadReplyResult::kWrongLength);
}

void CheckRoundTrip(const uint8_t* data, size_t size) {
  if (size < 17) return;
  int values[4];
  std::memcpy(values, data, sizeof values);
  // Full-width numbers would almost never fit 17 or 18 characters, so
  // byte 16 cuts each one down to at most 1, 3, 5 or 10 digits.
  static const int kModulus[4] = {10, 1000, 100000, 0};
  for (int i = 0; i < 4; ++i) {
    const int m = kModulus[(data[16] >> (2 * i)) & 3];
    if (m != 0) values[i] %= m;
  }
  const UnitParams written = {values[0], values[1], values[2], values[3]};
  const std::string command = FormatWriteCommand(written);
  FUZZ_CHECK(command.compare(0, 2, "S ") == 0);
  const std::string line = command.substr(2);
  const int count = static_cast<int>(line.size());
  if (count != 17 && count != 18) return;
  UnitParams read = {0, 0, 0, 0};
  FUZZ_CHECK(ParseReadReply(line.c_str(), count, &read) == ReadReplyResult::kOk);
  FUZZ_CHECK(Same(read, written));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;

  // As the exchange stores it: terminated, no NUL inside the count.
  const size_t kept = size < static_cast<size_t>(kMaxReply) ? size : kMaxReply;
  std::unique_ptr<char[]> terminated(new char[kept + 1]);
  std::memcpy(terminated.get(), data, kept);
  terminated[kept] = '\0';
  ParseAndCheck(terminated.get(), static_cast<int>(std::strlen(terminated.get())));

  // Exactly size bytes and no terminator.
  std::unique_ptr<char[]> exact(new char[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(exact.get(), data, size);
  ParseAndCheck(size > 0 ? exact.get() : "", static_cast<int>(size));

  CheckRoundTrip(data, size);
  return 0;
}
