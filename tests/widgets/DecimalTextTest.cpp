#include <gtest/gtest.h>

#include <climits>

#include "DecimalText.h"

namespace {

TEST(DecimalToIntTest, ConvertsLeadingNumberClampedToInt) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      // clang-format off
      {"", 0}, {" \t\n\v\f\r42", 42}, {"+3", 3}, {"-3", -3}, {"12abc", 12}, {"- 3", 0},
      {"+-3", 0}, {"\2405", 0},  // NBSP is not white space in the C locale
      {"2147483648", INT_MAX}, {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN},
      {"-99999999999999999999999999", INT_MIN}, {"00000000000000000000000042", 42},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecimalToInt(c.text), c.expected) << "text \"" << c.text << "\"";
  }
  EXPECT_EQ(DecimalToInt(nullptr), 0);
}

}  // namespace
