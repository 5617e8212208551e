#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "ProfileText.h"

namespace {

TEST(ProfileText, FindsValuesAsAHandEditedFileExpects) {
  const struct {
    const char* what;
    std::string text;
    const char* key;
    std::optional<std::string> expected;
  } cases[] = {
      {"names ignore case", "[Com]\nCOM=5\n", "com", "5"},
      {"blanks around names and =", "  [ com ]  \n \t com  =  7 \t\n", "com", "7"},
      {"first key wins", "[com]\ncom=1\ncom=2\n", "com", "1"},
      {"first section wins", "[com]\ncom=1\n[COM]\nbps=2\n", "bps", std::nullopt},
      {"key before any section", "com=9\n[com]\n", "com", std::nullopt},
      {"commented key", "[com]\n;com=4\n", "com", std::nullopt},
      {"empty value is found", "[com]\ncom=\n", "com", ""},
      {"UTF-8 mark before first section", "\xEF\xBB\xBF[com]\ncom=6\n", "com", "6"},
      {"quotes dropped", "[com]\ncom = \"/dev/x y\"\n", "com", "/dev/x y"},
      {"NUL and high bytes elsewhere", std::string("[b\0n]\n\xff=\x01\n[com]\ncom=4\n", 23), "com",
       "4"},
      {"value ends at a NUL",
       std::string("[com]\ncom=4 \0"
                   "5\n",
                   15),
       "com", "4"},
      {"lone CR ends a line", "[x]\r\nk=1\r[com]\rcom=5\r", "com", "5"},
      {"[ without ] opens no section", "[com\ncom=2\n", "com", std::nullopt},
      {"a line without = is the key, empty", "[com]\ncom\ncom=5\n", "com", ""},
      {"a NUL ends the name", std::string("[com]\ncom\0x=5\n", 14), "com", "5"},
      {"VT, FF and 0x1A are blanks", "[com]\n\v com\f=\x1a 7 \x1a\n", "com", "7"},
      {"[ without ] keeps the section before", "[com]\n[bad\nbps=3\n", "bps", "3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileFindValue(c.text, "com", c.key), c.expected) << c.what;
  }
}

TEST(ProfileText, ParsesIntegersAsThePlatformReads) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      // clang-format off
      {"42abc", 42}, {"abc", 0}, {"", -1}, {"   ", -1}, {"-17", -17}, {"+8", 8}, {"-", 0},
      {"0x10", 16}, {"-0x1f", -31}, {"0X10", 0}, {"0o17", 15}, {"0b101", 5}, {"0b102", 2},
      {"010", 10}, {"0x", 0},
      // Beyond the int range the digits wrap modulo 2^32.
      {"2147483647", INT_MAX}, {"2147483648", INT_MIN}, {"-2147483648", INT_MIN},
      {"4294967295", -1}, {"4294967296", 0}, {"-2147483649", INT_MAX},
      {"-99999999999999999999", -1661992959}, {"0xFFFFFFFF", -1}, {"0x80000000", INT_MIN},
      {"-0x80000000", INT_MIN},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileParseInt(c.text, -1), c.expected) << '"' << c.text << '"';
  }
}

TEST(ProfileText, EditsTouchOnlyTheValueOrAddWholeLines) {
  const struct {
    const char* what;
    std::string before;
    std::string after;
  } cases[] = {
      {"value replaced in place, all else kept",
       "; settings\r\n[other]\r\nx = 1\r\n\r\n[COM]\r\n  Com = 12\t\r\nbps=1\r\n",
       "; settings\r\n[other]\r\nx = 1\r\n\r\n[COM]\r\n  Com = -5\t\r\nbps=1\r\n"},
      {"key added after the section's last key, not after a comment",
       "[com]\nbps=1\n;com=2\n\n[position]\n", "[com]\nbps=1\ncom=-5\n;com=2\n\n[position]\n"},
      {"key added to a section without keys", "[com]\n\n[x]\n", "[com]\ncom=-5\n\n[x]\n"},
      {"last key line without line break", "[com]\r\nbps=0", "[com]\r\nbps=0\r\ncom=-5\r\n"},
      {"only the first of two sections edited", "[com]\nx=1\n[com]\ncom=9\n",
       "[com]\nx=1\ncom=-5\n[com]\ncom=9\n"},
      {"section added to an empty text", "", "[com]\ncom=-5\n"},
      {"section added after a last line without break", "[a]\r\nk=1",
       "[a]\r\nk=1\r\n[com]\r\ncom=-5\r\n"},
      {"lone CR lines: new lines in CR LF", "[com]\rbps=1\r\n\n", "[com]\rbps=1\r\ncom=-5\r\n\n"},
      {"after a last lone CR", "[a]\r", "[a]\r[com]\r\ncom=-5\r\n"},
      {"broken header is not the section", "[com\ncom=1\n", "[com\ncom=1\n[com]\ncom=-5\n"},
      {"a line without = gets the value", "[com]\r\n com \r\ncom=1\r\n",
       "[com]\r\n com=-5 \r\ncom=1\r\n"},
      {"a name cut by a NUL keeps its line", std::string("[com]\ncom\0=1\n", 13),
       std::string("[com]\ncom\0=-5\n", 14)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileSetValue(c.before, "com", "com", "-5"), c.after) << c.what;
  }
  EXPECT_EQ(ProfileSetValue("", "com", "com", "-5", "\r\n"), "[com]\r\ncom=-5\r\n");
  // Names and values that would not read back as given are refused.
  const char* const refused[][3] = {{"", "k", "1"},     {"s", "", "1"},    {"s\n[t]", "k", "1"},
                                    {"s", "k\rx", "1"}, {"s", "k", "1\n"}, {"s]x", "k", "1"},
                                    {"s", "a=b", "1"},  {"s", ";k", "1"},  {"s", "[k]", "1"}};
  for (const auto& r : refused) {
    EXPECT_EQ(ProfileSetValue("[s]\nk=0\n", r[0], r[1], r[2]), std::nullopt) << r[0] << "/" << r[1];
  }
}

// UTF-16 files (Notepad's "Unicode") are read and written back in UTF-16;
// what does not decode is neither read nor rewritten.
TEST(ProfileText, Utf16FilesRoundTrip) {
  const char kUtf16[] =
      "\xFF\xFE[\0c\0o\0m\0]\0\r\0\n\0k\0\x2D\x8A=\0"
      "5\0\r\0\n\0\x3D\xD8\x00\xDE";
  const std::string utf16(kUtf16, sizeof kUtf16 - 1);
  std::string text;
  ProfileEncoding encoding;
  ASSERT_TRUE(ProfileDecode(utf16, &text, &encoding));
  EXPECT_EQ(encoding, ProfileEncoding::kUtf16Le);
  EXPECT_EQ(text, "[com]\r\nk\xE8\xA8\xAD=5\r\n\xF0\x9F\x98\x80");
  std::string raw;
  ASSERT_TRUE(ProfileEncode(text, encoding, &raw));
  EXPECT_EQ(raw, utf16);

  ASSERT_TRUE(ProfileDecode("[com]\ncom=1\n", &text, &encoding));
  EXPECT_EQ(encoding, ProfileEncoding::kBytes);
  // Notepad's "Unicode big endian" comes back big-endian.
  const std::string bigEndian("\xFE\xFF\0[\0k\0]\0\n\0k\0=\x8A\x2D", 16);
  ASSERT_TRUE(ProfileDecode(bigEndian, &text, &encoding));
  EXPECT_EQ(encoding, ProfileEncoding::kUtf16Be);
  EXPECT_EQ(text, "[k]\nk=\xE8\xA8\xAD");
  ASSERT_TRUE(ProfileEncode(text, encoding, &raw));
  EXPECT_EQ(raw, bigEndian);

  for (const std::string& bad :
       {std::string("\xFF\xFE[", 3), std::string("\xFF\xFE\x00\xDC", 4),
        std::string("\xFF\xFE\x00\xD8", 4), std::string("\xFE\xFF\xDC\0", 4),
        std::string("\xFE\xFF\0[\0", 5)}) {
    EXPECT_FALSE(ProfileDecode(bad, &text, &encoding)) << testing::PrintToString(bad);
  }
  EXPECT_FALSE(ProfileEncode("\xFF", ProfileEncoding::kUtf16Le, &raw));
  EXPECT_FALSE(ProfileEncode("\xED\xA0\x80", ProfileEncoding::kUtf16Le, &raw));  // a surrogate
}

// Random texts built from the fragments that matter to the parser: whatever
// the text, a written key must read back and no other key may change.
TEST(ProfileText, WriteThenReadHoldsForArbitraryTexts) {
  const std::string fragments[] = {
      "[com]", "[COM ]", "[other]", "com=1", "bps = 2", ";com=3",       "x",    "=", "[", "]", " ",
      "\t",    "\r",     "\n",      "\r\n",  "com",     "\xEF\xBB\xBF", {"", 1}};
  const char* const probes[][2] = {{"com", "bps"}, {"other", "com"}, {"other", "bps"}};
  std::mt19937 rng(20240611);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int parts = static_cast<int>(rng() % 30);
    for (int i = 0; i < parts; ++i) text += fragments[rng() % std::size(fragments)];

    const std::optional<std::string> edited = ProfileSetValue(text, "com", "com", "-2147483648");
    ASSERT_TRUE(edited.has_value());
    EXPECT_EQ(ProfileFindValue(*edited, "com", "com"), "-2147483648")
        << testing::PrintToString(text);
    for (const auto& probe : probes) {
      EXPECT_EQ(ProfileFindValue(*edited, probe[0], probe[1]),
                ProfileFindValue(text, probe[0], probe[1]))
          << testing::PrintToString(text);
    }
  }
}

}  // namespace
