#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "ParamReply.h"

namespace {

constexpr UnitParams kUntouched = {111, 222, 333, 444};

TEST(ParseReadReplyTest, SplitsAndConvertsOrRejects) {
  using R = ReadReplyResult;
  const struct {
    const char* name;
    std::string reply;  // may hold a NUL; its size is the count
    ReadReplyResult result;
    UnitParams params;  // kUntouched when the parse fails
  } cases[] = {
      {"17 chars", "46 15 10000 32767", R::kOk, {46, 15, 10000, 32767}},
      {"18 chars", "046 15 10000 32767", R::kOk, {46, 15, 10000, 32767}},
      {"16 chars", "46 15 1000 32767", R::kWrongLength, kUntouched},
      {"19 chars", "46 15 10000 3276700", R::kWrongLength, kUntouched},
      {"runs of blanks", "7    0    5   100", R::kOk, {7, 0, 5, 100}},
      {"leading blanks, zeros and signs", "  07 +3 -1 000250", R::kOk, {7, 3, -1, 250}},
      {"fourth field is the whole rest", "7 0 5 100 200 300", R::kOk, {7, 0, 5, 100}},
      {"fourth field only blanks", "1234 12345 12345  ", R::kOk, {1234, 12345, 12345, 0}},
      {"two tokens", "1234567 123456789", R::kMissingFields, kUntouched},
      {"three tokens, blank, nothing after", "1234 12345 123456 ", R::kMissingFields, kUntouched},
      {"only blanks", std::string(17, ' '), R::kMissingFields, kUntouched},
      {"NUL after four fields", std::string("7 0 5 100\0xxxxxxx", 17), R::kOk, {7, 0, 5, 100}},
      {"NUL before the fourth field", std::string("7 0 5\0 100xxxxxx", 17), R::kMissingFields,
       kUntouched},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UnitParams got = kUntouched;
    EXPECT_EQ(ParseReadReply(c.reply.c_str(), static_cast<int>(c.reply.size()), &got), c.result);
    EXPECT_EQ(got.channel, c.params.channel);
    EXPECT_EQ(got.id, c.params.id);
    EXPECT_EQ(got.retryCount, c.params.retryCount);
    EXPECT_EQ(got.retryInterval, c.params.retryInterval);
  }
}

TEST(ParseReadReplyTest, LengthIsTheCountAndNothingPastItIsRead) {
  // The exchange's count decides, whatever strlen says.
  UnitParams got = kUntouched;
  for (int count : {16, 0, -1}) {
    EXPECT_EQ(ParseReadReply("46 15 10000 32767", count, &got), ReadReplyResult::kWrongLength);
  }
  EXPECT_EQ(ParseReadReply(nullptr, 17, &got), ReadReplyResult::kWrongLength);
  EXPECT_EQ(got.channel, kUntouched.channel);

  // Exactly 17 bytes on the heap and no NUL: a sanitizer build catches any
  // read past the end.
  auto buffer = std::make_unique<char[]>(17);
  std::memcpy(buffer.get(), "7 0 5 00000000042", 17);
  ASSERT_EQ(ParseReadReply(buffer.get(), 17, &got), ReadReplyResult::kOk);
  EXPECT_EQ(got.retryInterval, 42);
}

}  // namespace
