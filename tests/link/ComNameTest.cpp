#include <gtest/gtest.h>

#include <string>

#include "ComResolver.h"

namespace {

using namespace std::string_literals;

// One rule for -p names, [ports] keys and the names the system lists.
TEST(ComName, PlainComNumbersOneTo256InAnyCase) {
  const struct {
    std::string name;
    int number;
  } cases[] = {
      {"COM1", 1},     {"com3", 3},  {"Com256", 256}, {"cOM99", 99},     {"COM257", 0},
      {"COM0", 0},     {"COM03", 0}, {"COM007", 0},   {"COM", 0},        {"COM3x", 0},
      {"COM 3", 0},    {" COM3", 0}, {"COM+3", 0},    {"COM-1", 0},      {"COM1000", 0},
      {"COM3\0"s, 0},  {"LPT1", 0},  {"CON3", 0},     {"/dev/ttyS0", 0}, {"\\\\.\\COM3", 0},
      {"ＣＯＭ３", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ComNumberOfName(c.name), c.number) << c.name;
}

}  // namespace
