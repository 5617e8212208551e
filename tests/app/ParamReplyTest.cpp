#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "ParamReply.h"

namespace {

constexpr UnitParams kUntouched = {111, 222, 333, 444};

struct ReplyCase {
  const char* name;
  std::string reply;  // may hold a NUL
  ReadReplyResult result;
  UnitParams params;  // expected; kUntouched when the parse fails
};

std::string Bytes(const char* data, std::size_t size) { return std::string(data, size); }

TEST(ParseReadReplyTest, SplitsAndConvertsOrRejects) {
  using R = ReadReplyResult;
  const ReplyCase cases[] = {
      {"17 chars", "46 15 10000 32767", R::kOk, {46, 15, 10000, 32767}},
      {"18 chars", "046 15 10000 32767", R::kOk, {46, 15, 10000, 32767}},
      {"16 chars with four numbers", "46 15 1000 32767", R::kWrongLength, kUntouched},
      {"19 chars with four numbers", "46 15 10000 3276700", R::kWrongLength, kUntouched},
      {"empty", "", R::kWrongLength, kUntouched},
      {"runs of blanks", "7    0    5   100", R::kOk, {7, 0, 5, 100}},
      {"leading blanks, zeros and signs", "  07 +3 -1 000250", R::kOk, {7, 3, -1, 250}},
      {"infinite retry", "07 00 -1 00010000", R::kOk, {7, 0, -1, 10000}},
      {"no digits", "ab cd ef ghijklmn", R::kOk, {0, 0, 0, 0}},
      {"fourth field is the whole rest", "7 0 5 100 200 300", R::kOk, {7, 0, 5, 100}},
      {"fourth field only blanks", "1234 12345 12345  ", R::kOk, {1234, 12345, 12345, 0}},
      {"out of range values kept", "99 99 99999 99999", R::kOk, {99, 99, 99999, 99999}},
      {"beyond 32 bits", "1 2 3 99999999999", R::kOk, {1, 2, 3, INT_MAX}},
      {"two tokens", "1234567 123456789", R::kMissingFields, kUntouched},
      {"three tokens, nothing after", "12345 12345 12345", R::kMissingFields, kUntouched},
      {"three tokens, blank, nothing after", "1234 12345 123456 ", R::kMissingFields, kUntouched},
      {"only blanks", std::string(17, ' '), R::kMissingFields, kUntouched},
      {"NUL after four fields", Bytes("7 0 5 100\0xxxxxxx", 17), R::kOk, {7, 0, 5, 100}},
      {"NUL before the fourth field", Bytes("7 0 5\0 100xxxxxx", 17), R::kMissingFields,
       kUntouched},
      {"NUL first", Bytes("\0 0 5 100 2000000", 17), R::kMissingFields, kUntouched},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    UnitParams got = kUntouched;
    EXPECT_EQ(ParseReadReply(c.reply.c_str(), static_cast<int>(c.reply.size()), &got), c.result);
    EXPECT_EQ(got.channel, c.params.channel);
    EXPECT_EQ(got.id, c.params.id);
    EXPECT_EQ(got.retryCount, c.params.retryCount);
    EXPECT_EQ(got.retryInterval, c.params.retryInterval);
  }
}

TEST(ParseReadReplyTest, LengthIsTheCountNotTheText) {
  // The exchange's count decides, whatever strlen says.
  const char* text = "46 15 10000 32767";
  UnitParams got = kUntouched;
  EXPECT_EQ(ParseReadReply(text, 16, &got), ReadReplyResult::kWrongLength);
  EXPECT_EQ(ParseReadReply(text, 0, &got), ReadReplyResult::kWrongLength);
  EXPECT_EQ(ParseReadReply(text, -1, &got), ReadReplyResult::kWrongLength);
  EXPECT_EQ(ParseReadReply(nullptr, 17, &got), ReadReplyResult::kWrongLength);
  EXPECT_EQ(got.channel, kUntouched.channel);
}

TEST(ParseReadReplyTest, ReadsNoFurtherThanCountWithoutTerminator) {
  // Exactly 17 bytes on the heap and no NUL: a sanitizer build catches any
  // read past the end.
  const char text[] = "7 0 5 00000000042";
  auto buffer = std::make_unique<char[]>(17);
  std::memcpy(buffer.get(), text, 17);
  UnitParams got = kUntouched;
  ASSERT_EQ(ParseReadReply(buffer.get(), 17, &got), ReadReplyResult::kOk);
  EXPECT_EQ(got.retryInterval, 42);
}

TEST(FormatWriteCommandTest, FormatsTheConvertedValues) {
  EXPECT_EQ(FormatWriteCommand({7, 0, -1, 32767}), "S 7 0 -1 32767");
  EXPECT_EQ(FormatWriteCommand({46, 15, 10000, 0}), "S 46 15 10000 0");
  EXPECT_EQ(FormatWriteCommand({INT_MIN, INT_MAX, INT_MIN, INT_MAX}),
            "S -2147483648 2147483647 -2147483648 2147483647");
}

}  // namespace
