// The tools' text on a Windows console, through a stand-in console: the
// characters it is given (UTF-16, Japanese and characters beyond the BMP
// whole), chunks that never split a surrogate pair, the erase to the end of
// the row, a failed write reported; and text for a handle that is no
// console never reaches the console calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConsoleCallsWin32.h"
#include "ToolConsole.h"

namespace {

// The stand-in console; one test at a time uses it.
struct FakeConsole {
  bool isConsole = true;
  bool failWrites = false;
  DWORD chunkLimit = 0;  // at most this many characters a call, 0: all
  std::wstring text;
  std::vector<DWORD> chunks;
  std::vector<DWORD> blanked;
};
FakeConsole* g_console = nullptr;
const HANDLE kOut = reinterpret_cast<HANDLE>(0x1234);

HANDLE WINAPI FakeStdHandle(DWORD) { return kOut; }
BOOL WINAPI FakeMode(HANDLE h, LPDWORD mode) {
  *mode = 3;
  return h == kOut && g_console->isConsole;
}
BOOL WINAPI FakeWrite(HANDLE, const VOID* data, DWORD n, LPDWORD written, LPVOID) {
  if (g_console->failWrites) return FALSE;
  if (g_console->chunkLimit != 0 && n > g_console->chunkLimit) n = g_console->chunkLimit;
  g_console->text.append(static_cast<const wchar_t*>(data), n);
  g_console->chunks.push_back(n);
  *written = n;
  return TRUE;
}
BOOL WINAPI FakeInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO info) {
  *info = {};
  info->dwSize.X = 80;
  info->dwCursorPosition.X = static_cast<SHORT>(g_console->text.size() % 80);
  return TRUE;
}
BOOL WINAPI FakeFill(HANDLE, WCHAR, DWORD n, COORD, LPDWORD done) {
  g_console->blanked.push_back(n);
  *done = n;
  return TRUE;
}
BOOL WINAPI FakeAttribute(HANDLE, WORD, DWORD n, COORD, LPDWORD done) {
  *done = n;
  return TRUE;
}

class ToolConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_console = &console_;
    static const ConsoleCalls kFake{FakeStdHandle, FakeMode, FakeWrite,
                                    FakeInfo,      FakeFill, FakeAttribute};
    UseConsoleCalls(&kFake);
  }
  void TearDown() override {
    UseConsoleCalls(nullptr);
    g_console = nullptr;
  }
  FakeConsole console_;
};

TEST_F(ToolConsoleTest, AConsoleGetsTheCharacters) {
  ASSERT_TRUE(WriteStdout("COM10: チャネル 12, ID 3 \xf0\x9f\x98\x80\n"));
  EXPECT_EQ(console_.text, L"COM10: チャネル 12, ID 3 \U0001F600\n");
  ASSERT_TRUE(WriteStderr("中断しました\n"));
  EXPECT_EQ(console_.text, L"COM10: チャネル 12, ID 3 \U0001F600\n中断しました\n");
}

// 8191 'a' then a pair: the first chunk stops before it rather than split
// it; a console that takes less than it is given gets the rest next call.
TEST_F(ToolConsoleTest, ChunksNeverSplitAPair) {
  const std::string text = std::string(8191, 'a') + "\xf0\x9f\x98\x80" + std::string(10, 'b');
  ASSERT_TRUE(WriteStdout(text));
  ASSERT_GE(console_.chunks.size(), 2u);
  EXPECT_EQ(console_.chunks[0], 8191u);
  EXPECT_EQ(console_.text, std::wstring(8191, L'a') + L"\U0001F600" + std::wstring(10, L'b'));

  console_ = FakeConsole();
  console_.chunkLimit = 5;
  ASSERT_TRUE(WriteStdout("1/3 台  完了 1"));
  EXPECT_EQ(console_.text, L"1/3 台  完了 1");
}

TEST_F(ToolConsoleTest, EraseToEndBlanksTheRestOfTheRow) {
  ASSERT_TRUE(WriteStderr("\r2/3 台\x1b[K"));
  EXPECT_EQ(console_.text, L"\r2/3 台");
  ASSERT_EQ(console_.blanked.size(), 1u);
  EXPECT_EQ(console_.blanked[0], 80u - 6u);
}

TEST_F(ToolConsoleTest, AFailedWriteIsReported) {
  console_.failWrites = true;
  EXPECT_FALSE(WriteStdout("チャネル\n"));
}

// No console: the bytes go to the C library's stream (here the test's own
// standard error), the console calls see nothing.
TEST_F(ToolConsoleTest, NoConsoleNoConsoleCalls) {
  console_.isConsole = false;
  EXPECT_TRUE(WriteStderr("[ToolConsoleTest: UTF-8 bytes to a file: チャネル]\n"));
  EXPECT_TRUE(console_.text.empty());
  EXPECT_TRUE(console_.chunks.empty());
}

}  // namespace
