// Our private-profile layer against the platform's own functions
// (GetPrivateProfileIntA with the default -1, WritePrivateProfileStringA) on
// the same files. Where they agree the row says so; every difference we keep
// is a row with both answers and the reason, so the table fails as soon as
// the platform changes its mind in either direction.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "TestFiles.h"
#include "iniacs.h"

namespace {

// A literal with NUL bytes in it, whole.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

constexpr int kSame = INT_MIN + 1;  // the platform answers as we do

class ProfileCompat : public ::testing::Test {
 protected:
  // A new file name for every case: the platform caches files it has read.
  std::string NewPath() { return m_dir / ("case" + std::to_string(m_nFiles++) + ".ini"); }

  CTempDir m_dir;
  int m_nFiles = 0;
};

TEST_F(ProfileCompat, Reads) {
  const struct {
    const char* what;
    std::string text;  // the file; empty: no file
    const char* key;   // in section "com"
    int ours;
    int platform;  // kSame, or what the platform reads instead
    const char* why;
  } cases[] = {
      // clang-format off
      {"CR LF", "[com]\r\ncom=5\r\n", "com", 5, kSame, ""},
      {"lone CR line ends", "[x]\r\nk=1\r[com]\rcom=5\r", "com", 5, kSame, ""},
      {"blanks around names and =", "  [ com ]  \r\n \t com  =  7 \t\r\n", "com", 7, kSame, ""},
      {"first of two sections", "[com]\r\ncom=1\r\n[COM]\r\nbps=2\r\n", "bps", -1, kSame, ""},
      {"[ without ]", "[com\r\ncom=2\r\n", "com", -1, kSame, ""},
      {"UTF-8 mark", "\xEF\xBB\xBF[com]\r\ncom=6\r\n", "com", 6, kSame, ""},
      {"UTF-16", Bytes("\xFF\xFE[\0c\0o\0m\0]\0\r\0\n\0c\0o\0m\0=\0" "5\0\r\0\n\0"), "com", 5, kSame, ""},
      {"empty", "[com]\r\ncom=\r\n", "com", -1, kSame, ""},
      {"12abc", "[com]\r\ncom=12abc\r\n", "com", 12, kSame, ""},
      {"0x10", "[com]\r\ncom=0x10\r\n", "com", 16, kSame, ""},
      {"0b11", "[com]\r\ncom=0b11\r\n", "com", 3, kSame, ""},
      {"NUL after the number", Bytes("[com]\r\ncom=4\0" "5\r\n"), "com", 4, kSame, ""},
      {"NUL before the number", Bytes("[com]\r\ncom=\0" "5\r\n"), "com", -1, kSame, ""},
      {"key line without =", "[com]\r\ncom\r\ncom=5\r\n", "com", -1, kSame, ""},
      {"NUL before =", Bytes("[com]\r\ncom\0=5\r\ncom=6\r\n"), "com", 5, kSame, ""},
      {"VT, FF, 0x1A as blanks", "[com]\r\n\v com\f=\x1a 7 \x1a\r\n", "com", 7, kSame, ""},
      {"UTF-16 big-endian", Bytes("\xFE\xFF\0[\0c\0o\0m\0]\0\r\0\n\0c\0o\0m\0=\0" "5\0\r\0\n"), "com", 5, kSame, ""},
      {"single quotes", "[com]\r\ncom='5'\r\n", "com", 5, kSame, ""},
      {"2147483648 wraps", "[com]\r\ncom=2147483648\r\n", "com", INT_MIN, kSame, ""},
      {"4294967295 wraps to absent", "[com]\r\ncom=4294967295\r\n", "com", -1, kSame, ""},
      {"4294967296 wraps to 0", "[com]\r\ncom=4294967296\r\n", "com", 0, kSame, ""},
      {"-2147483649 wraps", "[com]\r\ncom=-2147483649\r\n", "com", INT_MAX, kSame, ""},
      {"long run of zeros", "[com]\r\ncom=" + std::string(40, '0') + "12\r\n", "com", 12, 0,
       "the platform reads only the first 29 characters of a value"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = NewPath();
    if (!c.text.empty()) WriteFile(path, c.text);
    iniacs ini;
    ini.SetPath(path);
    EXPECT_EQ(ini.GetInt("com", c.key), c.ours);
    const int platform = static_cast<int>(GetPrivateProfileIntA("com", c.key, -1, path.c_str()));
    EXPECT_EQ(platform, c.platform == kSame ? c.ours : c.platform) << c.why;
  }
}

// The close's writes, port then position, on files as users leave them.
TEST_F(ProfileCompat, Writes) {
  const struct {
    const char* what;
    std::string before;  // empty: no file
    std::string ours;
    std::string platform;  // empty: the same as ours
    const char* why;
  } cases[] = {
      {"new file", "", "[com]\r\ncom=-5\r\n[position]\r\nleft=12\r\n", "", ""},
      {"first of two sections", "[com]\r\nx=1\r\n[com]\r\ncom=9\r\n",
       "[com]\r\nx=1\r\ncom=-5\r\n[com]\r\ncom=9\r\n[position]\r\nleft=12\r\n", "", ""},
      {"UTF-16",
       Bytes("\xFF\xFE[\0c\0o\0m\0]\0\r\0\n\0c\0o\0m\0=\0"
             "1\0\r\0\n\0"),
       Bytes("\xFF\xFE[\0c\0o\0m\0]\0\r\0\n\0c\0o\0m\0=\0-\0"
             "5\0\r\0\n\0[\0p\0o\0s\0i\0t\0i\0o\0n\0]"
             "\0\r\0\n\0l\0e\0f\0t\0=\0"
             "1\0"
             "2\0\r\0\n\0"),
       "", ""},
      {"LF file", "; c\n[com]\ncom=1\n", "; c\n[com]\ncom=-5\n[position]\nleft=12\n",
       "; c\r\n[com]\r\ncom=-5\r\n[position]\r\nleft=12\r\n",
       "the platform rewrites the whole file in CR LF; we keep the user's line ends"},
      {"blanks", "[com]\n  com = 1 \n", "[com]\n  com = -5 \n[position]\nleft=12\n",
       "[com]\r\ncom=-5\r\n[position]\r\nleft=12\r\n",
       "the platform rewrites every line; we change only the value"},
      {"lone CR", "[com]\rcom=1\r", "[com]\rcom=-5\r[position]\r\nleft=12\r\n",
       "[com]\r\ncom=-5\r\n[position]\r\nleft=12\r\n", "the same whole-file rewrite"},
      {"key line without =", "[com]\r\ncom\r\nbps=1\r\n",
       "[com]\r\ncom=-5\r\nbps=1\r\n[position]\r\nleft=12\r\n", "", ""},
      {"UTF-16 big-endian",
       Bytes("\xFE\xFF\0[\0c\0o\0m\0]\0\r\0\n\0c\0o\0m\0=\0"
             "1\0\r\0\n"),
       Bytes("\xFE\xFF\0[\0c\0o\0m\0]\0\r\0\n\0c\0o\0m\0=\0-\0"
             "5\0\r\0\n\0[\0p\0o\0s\0i\0t\0i\0o\0n\0]"
             "\0\r\0\n\0l\0e\0f\0t\0=\0"
             "1\0"
             "2\0\r\0\n"),
       "", ""},
      {"comment and blank line after the keys", "[com]\r\nbps=1\r\n;x\r\n\r\n[position]\r\n",
       "[com]\r\nbps=1\r\ncom=-5\r\n;x\r\n\r\n[position]\r\nleft=12\r\n",
       "[com]\r\nbps=1\r\n;x\r\ncom=-5\r\n[position]\r\nleft=12\r\n",
       "the platform drops the blank line and puts the key after the comment"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string ours = NewPath(), platform = NewPath();
    if (!c.before.empty()) {
      WriteFile(ours, c.before);
      WriteFile(platform, c.before);
    }
    iniacs ini;
    ini.SetPath(ours);
    ini.WriteInt("com", "com", -5);
    ini.WriteInt("position", "left", 12);
    WritePrivateProfileStringA("com", "com", "-5", platform.c_str());
    WritePrivateProfileStringA("position", "left", "12", platform.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, platform.c_str());  // flush its cache
    EXPECT_EQ(ReadFile(ours), c.ours);
    EXPECT_EQ(ReadFile(platform), c.platform.empty() ? c.ours : c.platform) << c.why;
  }
}

// Raw texts, as the [ports] map reads them.
TEST_F(ProfileCompat, Strings) {
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"single quotes", "[ports]\r\ncom1='/dev/ttyUSB0'\r\n"},
      {"double quotes", "[ports]\r\ncom1=\"/dev/tty USB0\"\r\n"},
      {"quotes that do not match", "[ports]\r\ncom1='/dev/ttyUSB0\"\r\n"},
      {"key line without =", "[ports]\r\ncom1\r\ncom1=/dev/ttyS0\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = NewPath();
    WriteFile(path, c.text);
    iniacs ini;
    ini.SetPath(path);
    std::string ours;
    ini.GetString("ports", "com1", &ours);
    char platform[256] = "";
    GetPrivateProfileStringA("ports", "com1", "", platform, sizeof platform, path.c_str());
    EXPECT_EQ(ours, platform);
  }
}

}  // namespace
