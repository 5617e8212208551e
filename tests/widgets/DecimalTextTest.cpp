#include <gtest/gtest.h>

#include <climits>

#include "DecimalText.h"

namespace {

struct DecimalCase {
  const char* text;
  int expected;
};

TEST(DecimalToIntTest, ConvertsLeadingNumberClampedToInt) {
  const DecimalCase cases[] = {
      {"", 0},
      {"0", 0},
      {"42", 42},
      {" \t\n\v\f\r42", 42},
      {"+3", 3},
      {"-3", -3},
      {"007", 7},
      {"12abc", 12},
      {"abc", 0},
      {"- 3", 0},
      {"+-3", 0},
      {"\xA0"
       "5",
       0},  // not white space in the C locale
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"99999999999999999999999999", INT_MAX},
      {"-99999999999999999999999999", INT_MIN},
      {"00000000000000000000000042", 42},
  };
  for (const DecimalCase& c : cases) {
    EXPECT_EQ(DecimalToInt(c.text), c.expected) << "text \"" << c.text << "\"";
  }
}

}  // namespace
