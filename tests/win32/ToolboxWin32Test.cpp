#include <gtest/gtest.h>

#include <string>

#include "ScopedHandleWin32.h"
#include "WideTextWin32.h"

namespace {

using namespace std::string_literals;

// Whether a text is exact both ways, and what each side holds after the
// conversion (invalid units replaced by U+FFFD).
TEST(Win32Toolbox, ConversionsReplaceAndReportWhatIsNotExact) {
  const struct {
    std::string utf8;
    std::wstring wide;
    bool exact;
  } both[] = {
      {"", L"", true},
      {"COM3", L"COM3", true},
      {"設定 プロファイル.ini", L"設定 プロファイル.ini", true},
      {"\xF0\x9F\x93\xA1", L"\U0001F4E1", true},  // outside the BMP: a surrogate pair
      {"a\0b"s, L"a\0b"s, false},                 // the system would stop at the NUL
  };
  for (const auto& c : both) {
    std::wstring wide;
    std::string utf8;
    EXPECT_EQ(win32::ToWide(c.utf8, &wide), c.exact) << c.utf8;
    EXPECT_EQ(wide, c.wide) << c.utf8;
    EXPECT_EQ(win32::ToUtf8(c.wide, &utf8), c.exact) << c.utf8;
    EXPECT_EQ(utf8, c.utf8);
  }

  const struct {
    std::string utf8;
    std::wstring shown;
  } broken[] = {
      {"a\xFF"
       "b",
       L"a\uFFFDb"},                  // a byte no sequence starts with
      {"a\xE8\xA8", L"a\uFFFD"},      // a sequence cut at the end
      {"\xC0\xAF", L"\uFFFD\uFFFD"},  // an overlong '/', which must not become one
  };
  for (const auto& c : broken) {
    std::wstring wide = L"stale";
    EXPECT_FALSE(win32::ToWide(c.utf8, &wide));
    EXPECT_EQ(wide, c.shown);
    EXPECT_EQ(win32::Wide(c.utf8), c.shown);
  }
  std::string utf8;
  EXPECT_FALSE(win32::ToUtf8(L"x\xD800y", &utf8));  // an unpaired surrogate
  EXPECT_EQ(utf8, "x\xEF\xBF\xBDy");
  EXPECT_EQ(win32::Utf8(L"x\xDC00"), "x\xEF\xBF\xBD");
}

TEST(Win32Toolbox, ErrorTextIsOneLineOrTheNumber) {
  const std::string text = win32::SystemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
  EXPECT_NE(text.back(), ' ');
  EXPECT_EQ(win32::SystemErrorText(0x2000FFFF), "error 536936447");
}

int g_closed = 0;
BOOL WINAPI CountClose(HANDLE) {
  ++g_closed;
  return TRUE;
}
BOOL WINAPI FailClose(HANDLE) { return FALSE; }

TEST(Win32Toolbox, ScopedHandleClosesOnceThroughItsOwnCall) {
  const HANDLE fake = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1234));
  g_closed = 0;
  {
    win32::CScopedHandle none;
    win32::CScopedHandle null(nullptr, CountClose);
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(null.IsValid());
    EXPECT_TRUE(none.Close());
    win32::CScopedHandle a(fake, CountClose);
    win32::CScopedHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(b.Get(), fake);
    win32::CScopedHandle c;
    c = std::move(b);
    win32::CScopedHandle kept(fake, CountClose);
    EXPECT_EQ(kept.Release(), fake);
  }
  EXPECT_EQ(g_closed, 1);  // c's, once; the released one is the caller's
  win32::CScopedHandle failing(fake, FailClose);
  EXPECT_FALSE(failing.Close());
  EXPECT_FALSE(failing.IsValid());

  // The system's own call on a real handle.
  win32::CScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event.IsValid());
  const HANDLE h = event.Get();
  EXPECT_TRUE(event.Close());
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(h, &flags));
}

}  // namespace
