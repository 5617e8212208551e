// The simulated unit's interpreter on its own: what goes out for what comes
// in, with and without fault switches. No pseudo-terminal, no clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimUnit.h"

namespace {

// Everything the unit has queued, hang-up marker as "<HUP>".
std::string Sent(CSimUnit& unit, std::vector<int>* gaps = nullptr) {
  std::string out;
  while (unit.HasOutput()) {
    const SimByte& b = unit.Front();
    if (b.hangUp) {
      out += "<HUP>";
    } else {
      out += static_cast<char>(b.value);
    }
    if (gaps) gaps->push_back(b.gapMs);
    unit.Pop();
  }
  return out;
}

std::string Answer(const SimOptions& options, const std::string& input) {
  CSimUnit unit(options);
  unit.Receive(input.data(), input.size());
  return Sent(unit);
}

struct WireCase {
  const char* input;
  const char* output;
};

TEST(SimUnit, EchoesEveryLineEndOnceAsCrLfAndAnswersEachLine) {
  const WireCase cases[] = {
      {"\r\n", "\r\nZETA7>"},
      {"\r", "\r\nZETA7>"},
      {"\n", "\r\nZETA7>"},
      {"V\r\n", "V\r\nV1.02.03\r\nZETA7>"},
      {"R\r\n", "R\r\n12  3     5  1000\r\nZETA7>"},
      {"\r\r\n", "\r\nZETA7>\r\nZETA7>"},
      {"\n\r", "\r\nZETA7>\r\nZETA7>"},
      {"\r\n\r\n", "\r\nZETA7>\r\nZETA7>"},
      {"v\r\n", "v\r\nNG\r\nZETA7>"},
      {"V ", "V "},  // no line end yet: echo only
  };
  for (const WireCase& c : cases) {
    EXPECT_EQ(Answer(SimOptions(), c.input), c.output) << "input " << c.input;
  }
}

TEST(SimUnit, LineSplitAcrossReadsIsOneLine) {
  CSimUnit unit{SimOptions()};
  for (const char* part : {"S 2", "0 4 -1", " 500\r", "\n"}) {
    unit.Receive(part, std::string(part).size());
  }
  EXPECT_EQ(Sent(unit), "S 20 4 -1 500\r\nOK\r\nZETA7>");
  EXPECT_EQ(unit.Answer("R"), "20  4    -1   500");
}

TEST(SimUnit, StoresOnlyWellFormedInRangeParameters) {
  struct Case {
    const char* line;
    bool accepted;
  };
  const Case cases[] = {
      {"S 7 0 -1 0", true},
      {"S 46 15 10000 32767", true},
      {"S 6 3 5 1000", false},
      {"S 47 3 5 1000", false},
      {"S 12 -1 5 1000", false},
      {"S 12 16 5 1000", false},
      {"S 12 3 -2 1000", false},
      {"S 12 3 10001 1000", false},
      {"S 12 3 5 -1", false},
      {"S 12 3 5 32768", false},
      {"S 12 3 5", false},
      {"S 12 3 5 1000 1", false},
      {"S  12 3 5 1000", false},
      {"S 12 3 5 1000 ", false},
      {"S 12 3 5 +100", false},
      {"S 12 3 5 1e3", false},
      {"S 12 3 5 9999999999", false},
      {"S 12 3 5 -", false},
      {"s 12 3 5 1000", false},
      {"S12 3 5 1000", false},
  };
  for (const Case& c : cases) {
    CSimUnit unit{SimOptions()};
    EXPECT_EQ(unit.Answer(c.line), c.accepted ? "OK" : "NG") << c.line;
    // A refused line leaves the stored values alone.
    if (!c.accepted) {
      EXPECT_EQ(unit.Answer("R"), "12  3     5  1000") << c.line;
    }
  }
  CSimUnit unit{SimOptions()};
  unit.Answer("S 46 15 10000 32767");
  EXPECT_EQ(unit.Answer("R"), "46 15 10000 32767");
}

TEST(SimUnit, OverlongInputLineIsRefused) {
  CSimUnit unit{SimOptions()};
  const std::string line = "S 12 3 5 1000" + std::string(300, ' ') + "\r";
  unit.Receive(line.data(), line.size());
  const std::string out = Sent(unit);
  EXPECT_EQ(out.substr(out.size() - 12), "\r\nNG\r\nZETA7>");
}

TEST(SimUnit, ReplyFaults) {
  struct Case {
    const char* name;
    void (*set)(SimOptions&);
    const char* input;
    std::string output;
  };
  const Case cases[] = {
      {"no echo", [](SimOptions& o) { o.noEcho = true; }, "V\r\n", "V1.02.03\r\nZETA7>"},
      {"no echo, empty line", [](SimOptions& o) { o.noEcho = true; }, "\r\n", "ZETA7>"},
      {"nul", [](SimOptions& o) { o.nul = true; }, "V\r\n",
       std::string("V\r\nV1.0\0"
                   "2.03\r\nZETA7>",
                   20)},
      {"nul leaves the prompt", [](SimOptions& o) { o.nul = true; }, "\r\n", "\r\nZETA7>"},
      {"hang-up", [](SimOptions& o) { o.hangup = true; }, "V\r\n\r\nV\r\n", "V\r\nV1.0<HUP>"},
  };
  for (const Case& c : cases) {
    SimOptions options;
    c.set(options);
    EXPECT_EQ(Answer(options, c.input), c.output) << c.name;
  }
}

TEST(SimUnit, SlowGapsTheAnswerButNotTheEcho) {
  SimOptions options;
  options.slowGapMs = 40;
  CSimUnit unit(options);
  unit.Receive("R\r\n", 3);
  std::vector<int> gaps;
  const std::string out = Sent(unit, &gaps);
  ASSERT_EQ(out, "R\r\n12  3     5  1000\r\nZETA7>");
  EXPECT_EQ(std::vector<int>(gaps.begin(), gaps.begin() + 3), std::vector<int>(3, 0));
  EXPECT_EQ(std::vector<int>(gaps.begin() + 3, gaps.end()), std::vector<int>(out.size() - 3, 40));
}

TEST(SimUnit, StreamNeverEndsAndHasNoLineEnd) {
  SimOptions options;
  options.stream = true;
  CSimUnit unit(options);
  EXPECT_FALSE(unit.HasOutput());
  unit.Receive("\r\n", 2);
  std::string out;
  for (int i = 0; i < 10000 && unit.HasOutput(); ++i) {
    out += static_cast<char>(unit.Front().value);
    unit.Pop();
  }
  ASSERT_EQ(out.size(), 10000u);
  EXPECT_EQ(out.substr(0, 2), "\r\n");
  EXPECT_EQ(out.find_first_of("\r\n", 2), std::string::npos);
}

TEST(SimUnit, GarbageIsNeverTheAnswerAndRepeatsWithTheSeed) {
  SimOptions options;
  options.garbage = true;
  const std::string a = Answer(options, "\r\n");
  EXPECT_EQ(a, Answer(options, "\r\n"));
  EXPECT_EQ(a.substr(0, 2), "\r\n");
  EXPECT_GE(a.size(), 2u + 16u);
  EXPECT_EQ(a.find("ZETA7>"), std::string::npos);
  options.seed = 2;
  EXPECT_NE(a, Answer(options, "\r\n"));
}

TEST(SimArgs, ParsesAndRejects) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
  };
  const Case cases[] = {
      {{"--baud", "4800"}, true},
      {{"--baud=line"}, true},
      {{"--baud", "0"}, false},
      {{"--baud"}, false},
      {{"--slow"}, true},
      {{"--slow=x"}, false},
      {{"--silent=1"}, false},
      {{"--bogus"}, false},
      {{"--channel", "x"}, false},
      {{"--link", ""}, false},
      {{"--retry=-1", "--r18"}, true},
      {{"--interval", "99999999999"}, false},
  };
  for (const Case& c : cases) {
    SimOptions options;
    bool help = false;
    std::string error;
    const bool ok =
        ParseSimArgs(static_cast<int>(c.args.size()), c.args.data(), options, help, error);
    EXPECT_EQ(ok, c.ok) << c.args[0];
    EXPECT_EQ(error.empty(), c.ok) << c.args[0];
  }

  SimOptions options;
  bool help = false;
  std::string error;
  const char* args[] = {"--baud=4800", "--slow", "--r18", "--retry", "-1",
                        "--version",   "V9",     "--log", "/tmp/x",  "--help"};
  ASSERT_TRUE(ParseSimArgs(10, args, options, help, error)) << error;
  EXPECT_EQ(options.baud, 4800);
  EXPECT_EQ(options.slowGapMs, 10);
  EXPECT_EQ(options.paramWidth, 18);
  EXPECT_EQ(options.retry, -1);
  EXPECT_EQ(options.version, "V9");
  EXPECT_EQ(options.logPath, "/tmp/x");
  EXPECT_TRUE(help);
}

}  // namespace
