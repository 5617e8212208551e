// The shared command line of the tools: the parser's spelling rules, the
// nearest-word suggestion, completion from the table, and the choice of
// language from the environment as gettext makes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliParser.h"
#include "CliText.h"

namespace {

enum { kPort, kJson, kSlow, kHelp };

const CliProgram& Program() {
  static const CliProgram program{
      "tool",
      "<command> [options]",
      "A tool.",
      "",
      {{"read", "-p PORT", "read", "Reads."},
       {"save", "-p PORT FILE", "save", "Saves.", "file:ini"}},
      {{kPort, "port", 'p', CliArg::kValue, "PORT", "read save", "a port", "words:COM1 COM2"},
       {kJson, "json", 0, CliArg::kFlag, nullptr, "read", "JSON lines"},
       {kSlow, "slow", 0, CliArg::kOptional, "MS", "read", "slowly"},
       {kHelp, "help", 'h', CliArg::kFlag, nullptr, "*", "this text"}}};
  return program;
}

std::string Parse(const std::vector<std::string>& args, CliParsed* parsed) {
  std::string error;
  const bool ok = CliParse(Program(), args, parsed, &error);
  EXPECT_EQ(ok, error.empty()) << error;
  return error;
}

TEST(CliTest, SpellingsOfOptionsAndValues) {
  SetLanguage(CliLanguage::kEnglish);
  CliParsed p;
  ASSERT_EQ(Parse({"-pCOM1", "read", "--port=COM2", "-p", "-", "--json=false", "--slow", "--",
                   "--x", "-"},
                  &p),
            "");
  ASSERT_NE(p.verb, nullptr);
  EXPECT_STREQ(p.verb->name, "read");
  ASSERT_EQ(p.options.size(), 5u);
  EXPECT_EQ(p.options[0].value, "COM1");
  EXPECT_EQ(p.options[1].value, "COM2");
  EXPECT_EQ(p.options[2].value, "-");
  EXPECT_FALSE(p.options[3].On());
  EXPECT_FALSE(p.options[4].hasValue);
  EXPECT_EQ(p.operands, (std::vector<std::string>{"--x", "-"}));

  const struct {
    std::vector<std::string> args;
    const char* error;
  } refused[] = {
      {{"raed"}, "unknown command: raed (did you mean read?)"},
      {{"sve"}, "unknown command: sve (did you mean save?)"},
      {{"frobnicate"}, "unknown command: frobnicate"},
      {{"read", "--jsno"}, "unknown option: --jsno (did you mean --json?)"},
      {{"save", "--jsn"}, "unknown option: --jsn (did you mean --json?)"},
      {{"read", "--json=1"}, "--json is true or false, not 1"},
      {{"read", "-hx"}, "-h takes no value: -hx"},
      {{"read", "--port"}, "--port needs a value"},
      {{"save", "--json"}, "--json is only for read"},
      {{"read", "-x"}, "unknown option: -x"},
  };
  for (const auto& r : refused) EXPECT_EQ(Parse(r.args, &p), r.error) << r.args[0];

  // "help" names the command whose help is wanted.
  ASSERT_EQ(Parse({"help", "save"}, &p), "");
  EXPECT_TRUE(p.help);
  EXPECT_STREQ(p.verb->name, "save");
  EXPECT_EQ(EditDistance("", "abc"), 3);
  EXPECT_EQ(EditDistance("read", "raed"), 1);
}

TEST(CliTest, CompletionAnswersFromTheTable) {
  auto complete = [](std::vector<std::string> words) {
    return CliComplete(Program(), words, [] { return std::vector<std::string>{"COM7"}; });
  };
  EXPECT_EQ(complete({""}), "help\nread\nsave\n");
  EXPECT_EQ(complete({"--"}), "--help\n");
  EXPECT_EQ(complete({"read", "--"}), "--port\n--json\n--slow\n--help\n");
  EXPECT_EQ(complete({"read", "-p", ""}), "COM1\nCOM2\n");
  EXPECT_EQ(complete({"read", "--json="}), "--json=true\n--json=false\n");
  EXPECT_EQ(complete({"read", "--port=C"}), "--port=COM1\n--port=COM2\n");
  EXPECT_EQ(complete({"help", "s"}), "save\n");
  EXPECT_EQ(complete({"read", "-p", "COM1", "--", "--"}), "");
}

TEST(CliTest, UsageListsWhatEachCommandTakes) {
  SetLanguage(CliLanguage::kEnglish);
  EXPECT_EQ(CliUsage(Program(), CliFindVerb(Program(), "save")),
            "Usage: tool save -p PORT FILE\n\nSaves.\n\nOptions:\n"
            "  -p, --port PORT       a port\n"
            "  -h, --help            this text\n");
  const std::string overview = CliUsage(Program(), nullptr);
  EXPECT_NE(overview.find("Commands:\n  read      read\n  save      save\n"), std::string::npos)
      << overview;
}

TEST(CliTest, TheLanguageIsTheOneGettextWouldChoose) {
  const auto en = CliLanguage::kEnglish, ja = CliLanguage::kJapanese;
  const struct {
    const char *lcAll, *lcMessages, *lang, *language;
    CliLanguage system, expected;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, en, en},
      {nullptr, nullptr, nullptr, nullptr, ja, ja},  // Windows: the UI language
      {nullptr, nullptr, "ja_JP.UTF-8", nullptr, en, ja},
      {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", nullptr, en, ja},
      {"C", "ja_JP.UTF-8", "ja_JP.UTF-8", "ja", ja, en},  // C wins over LANGUAGE
      {"C.UTF-8", nullptr, nullptr, nullptr, ja, en},
      {"C.UTF-8", nullptr, nullptr, "ja", en, ja},
      {"", "", "en_GB.UTF-8", "ja:en", en, ja},
      {nullptr, nullptr, "ja_JP.UTF-8", "fr:en", en, en},
      {nullptr, nullptr, "de_DE.UTF-8", "fr", en, en},
      {nullptr, nullptr, nullptr, "ja", en, en},  // LANGUAGE alone: the C locale
      {"ja", nullptr, nullptr, nullptr, en, ja},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LanguageOfVariables(c.lcAll, c.lcMessages, c.lang, c.language, c.system), c.expected)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lang ? c.lang : "-") << " "
        << (c.language ? c.language : "-");
  }
}

TEST(CliTest, TextsFillInOrderOrByNumber) {
  EXPECT_EQ(Fill("%s of %s", {"a", "b"}), "a of b");
  EXPECT_EQ(Fill("%2$s の %1$s", {"a", "b"}), "b の a");
  EXPECT_EQ(Fill("100% %s %d", {"x"}), "100% x %d");
  EXPECT_EQ(Fill("%s", {}), "");
}

}  // namespace
