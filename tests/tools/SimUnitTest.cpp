// The simulated unit's interpreter on its own, for what the end-to-end tests
// do not send: lone CRs and LFs, lines split across reads, every parameter
// bound, and the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimUnit.h"

namespace {

// Feeds the parts one by one and returns everything the unit queued.
std::string Answer(const std::vector<std::string>& parts) {
  CSimUnit unit{SimOptions()};
  for (const std::string& part : parts) unit.Receive(part.data(), part.size());
  std::string out;
  for (; unit.HasOutput(); unit.Pop()) out += static_cast<char>(unit.Front().value);
  return out;
}

TEST(SimUnit, EveryLineEndEchoesOnceAsCrLfAndEndsOneLine) {
  const struct {
    std::vector<std::string> input;
    std::string output;
  } cases[] = {
      {{"\r"}, "\r\nZETA7>"},
      {{"\n"}, "\r\nZETA7>"},
      {{"\r\r\n"}, "\r\nZETA7>\r\nZETA7>"},
      {{"\n\r"}, "\r\nZETA7>\r\nZETA7>"},
      {{"v\r"}, "v\r\nNG\r\nZETA7>"},
      {{"V "}, "V "},  // no line end yet: echo only
      {{"S 2", "0 4 -1", " 500\r", "\n", "R\n"},
       "S 20 4 -1 500\r\nOK\r\nZETA7>R\r\n20  4    -1   500\r\nZETA7>"},
      {{std::string(300, 'V'), "\r"}, std::string(300, 'V') + "\r\nNG\r\nZETA7>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Answer(c.input), c.output) << testing::PrintToString(c.input);
}

TEST(SimUnit, StoresOnlyWellFormedInRangeParameters) {
  const struct {
    const char* line;
    const char* reply;
  } cases[] = {
      {"S 7 0 -1 0", "OK"},      {"S 46 15 10000 32767", "OK"},
      {"S 6 3 5 1000", "NG"},    {"S 12 16 5 1000", "NG"},
      {"S 12 3 -2 1000", "NG"},  {"S 12 3 10001 1000", "NG"},
      {"S 12 3 5 32768", "NG"},  {"S 12 3 5", "NG"},
      {"S 12 3 5 1000 1", "NG"}, {"S  12 3 5 1000", "NG"},
      {"S 12 3 5 +100", "NG"},   {"S 12 3 5 9999999999", "NG"},
      {"s 12 3 5 1000", "NG"},
  };
  for (const auto& c : cases) {
    CSimUnit unit{SimOptions()};
    EXPECT_EQ(unit.Answer(c.line), c.reply) << c.line;
    // A refused line leaves the stored values alone.
    if (std::string(c.reply) == "NG") {
      EXPECT_EQ(unit.Answer("R"), "12  3     5  1000") << c.line;
    }
  }
}

TEST(SimArgs, ParsesAndRejects) {
  SimOptions options;
  bool help = false;
  bool version = true;
  std::string error;
  const char* args[] = {"--baud=4800", "--slow",         "--r18", "--retry",
                        "-1",          "--unit-version", "V9",    "--help"};
  ASSERT_TRUE(ParseSimArgs(8, args, options, help, version, error)) << error;
  EXPECT_EQ(options.baud, 4800);
  EXPECT_EQ(options.slowGapMs, 10);
  EXPECT_EQ(options.paramWidth, 18);
  EXPECT_EQ(options.retry, -1);
  EXPECT_EQ(options.version, "V9");
  EXPECT_TRUE(help);
  EXPECT_FALSE(version);
  // --version is the program's own; the unit's reply has its own option.
  const char* versionArgs[] = {"--version"};
  ASSERT_TRUE(ParseSimArgs(1, versionArgs, options, help, version, error)) << error;
  EXPECT_TRUE(version && options.version == "V9");

  // clang-format off
  const char* const bad[][2] = {{"--baud", "0"}, {"--baud", nullptr}, {"--slow=x", nullptr},
                                {"--silent=1", nullptr}, {"--bogus", nullptr}, {"--link", ""},
                                {"--interval", "99999999999"}, {"--version=V9", nullptr},
                                {"--unit-version", nullptr}};
  // clang-format on
  for (const auto& argv : bad) {
    error.clear();
    EXPECT_FALSE(ParseSimArgs(argv[1] ? 2 : 1, argv, options, help, version, error)) << argv[0];
    EXPECT_FALSE(error.empty()) << argv[0];
  }
}

}  // namespace
