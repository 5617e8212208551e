// The real program from the outside, as a technician uses it: started as its
// own process against a simulated unit on a COM port, driven through its
// window's controls (the standard controls answer other processes' messages),
// its boxes found among its thread's windows and answered, and its settings
// file read back afterwards.
//
// Run by scripts/wine-test.sh, which gives ZETA7_E2E_PROGRAM (the program),
// ZETA7_E2E_PORT (the COM number of a sound unit that nothing else talks to)
// and ZETA7_E2E_LOG (what that unit received). This program has a main of its
// own: the program under test must see the prefix's own user folders.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "MainDialogTemplate.h"
#include "WideTextWin32.h"

namespace {

using win32::Utf8;
using win32::Wide;

// The variable as UTF-8 (the narrow environment has only the ANSI code
// page, and the program's name is Japanese).
std::string Environment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? Utf8(value) : "";
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The control's own text (GetWindowTextW would give only the caption the
// system keeps for another process's window, which an edit never updates).
std::string TextOf(HWND hWnd) {
  wchar_t text[512] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(hWnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &ignored);
  return Utf8(text);
}

bool IsDialogClass(HWND hWnd) {
  wchar_t name[16] = {};
  GetClassNameW(hWnd, name, 16);
  return lstrcmpW(name, L"#32770") == 0;
}

// The program, started with its working folder beside it, and its window.
class Program {
 public:
  bool Start(const std::wstring& path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_process)) {
      return false;
    }
    // Idle once its first message loop waits: the window exists by then.
    WaitForInputIdle(m_process.hProcess, 20000);
    EnumThreadWindows(
        m_process.dwThreadId,
        [](HWND hWnd, LPARAM data) -> BOOL {
          if (!IsDialogClass(hWnd)) return TRUE;
          *reinterpret_cast<HWND*>(data) = hWnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&m_window));
    return m_window != nullptr;
  }
  ~Program() {
    if (m_process.hProcess) {
      if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.hProcess, 9);
      }
      CloseHandle(m_process.hProcess);
      CloseHandle(m_process.hThread);
    }
  }

  HWND Window() const { return m_window; }
  HWND Control(int id) const { return GetDlgItem(m_window, id); }

  // Returns once the program's thread takes messages again after the ones
  // sent before: its handler has run to its end, or it waits in a box.
  // (Sent messages are handled in the order they were sent.)
  void Settle() const {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
  }
  // A click on a button; returns once it has been handled (or a box waits).
  void Click(int id) const {
    SendNotifyMessageW(Control(id), BM_CLICK, 0, 0);
    Settle();
  }
  void RequestClose() const {
    SendNotifyMessageW(m_window, WM_CLOSE, 0, 0);
    Settle();
  }
  // Alt+F4 as the keyboard queues it for a focused button.
  void AltF4() const {
    HWND target = Control(IDC_BUTTON_CONNECT);
    const LPARAM alt = static_cast<LPARAM>(1) << 29;
    PostMessageW(target, WM_SYSKEYDOWN, VK_MENU, alt | 1);
    PostMessageW(target, WM_SYSKEYDOWN, VK_F4, alt | 1);
    PostMessageW(target, WM_SYSKEYUP, VK_F4, alt | 1 | (static_cast<LPARAM>(3) << 30));
    PostMessageW(target, WM_KEYUP, VK_MENU, 1 | (static_cast<LPARAM>(3) << 30));
    Settle();
  }
  void SetText(int id, const char* text) const {
    const std::wstring wide = Wide(text);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                        SMTO_NORMAL, 5000, &ignored);
  }
  std::string Text(int id) const { return TextOf(Control(id)); }

  // The box the program shows now, or nullptr.
  HWND Box() const {
    std::pair<HWND, HWND> windowAndBox{m_window, nullptr};
    EnumThreadWindows(
        m_process.dwThreadId,
        [](HWND hWnd, LPARAM data) -> BOOL {
          auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(data);
          if (hWnd == found->first || !IsWindowVisible(hWnd) || !IsDialogClass(hWnd)) return TRUE;
          found->second = hWnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&windowAndBox));
    return windowAndBox.second;
  }
  // The box's text, answered with the given button.
  std::string Answer(int button) const {
    HWND box = Box();
    // Posted input may still be on its way to the box.
    for (int i = 0; i < 2000 && !box; ++i) {
      Sleep(10);
      box = Box();
    }
    if (!box) return "(no box)";
    const std::string text = MessageOf(box);
    SendNotifyMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    // The box goes before its caller goes on; only then does a message sent
    // now wait for what follows.
    for (int i = 0; i < 2000 && IsWindow(box); ++i) Sleep(10);
    Settle();
    return text;
  }
  // A system box's text is its static 0xFFFF; a task dialog's (a box with
  // details) is its first static control with text.
  static std::string MessageOf(HWND box) {
    if (HWND text = GetDlgItem(box, 0xFFFF)) return TextOf(text);
    std::string found;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
          auto* out = reinterpret_cast<std::string*>(data);
          wchar_t name[16] = {};
          GetClassNameW(child, name, 16);
          if (lstrcmpiW(name, L"Static") != 0) return TRUE;
          *out = TextOf(child);
          return out->empty();
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  bool Ended(DWORD ms) const {
    return WaitForSingleObject(m_process.hProcess, ms) == WAIT_OBJECT_0;
  }

 private:
  PROCESS_INFORMATION m_process{};
  HWND m_window = nullptr;
};

std::wstring SettingsFile() {
  PWSTR folder = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder))) {
    return std::wstring();
  }
  std::wstring path = folder;
  CoTaskMemFree(folder);
  path += L"\\Quillbeck\\ZETA-7";
  SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
  return path + L"\\ZETA-7設定ユーティリティ.ini";
}

// The program and the settings file it reads in the user's folder.
class WindowEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (m_strProgram.empty()) GTEST_SKIP() << "run through scripts/wine-test.sh";
    m_strIni = SettingsFile();
    ASSERT_FALSE(m_strIni.empty());
  }
  void WriteIni(const std::string& text) const {
    std::ofstream out(m_strIni.c_str(), std::ios::binary);
    out << text;
  }

  const std::string m_strProgram = Environment(L"ZETA7_E2E_PROGRAM");
  std::wstring m_strIni;
};

TEST_F(WindowEndToEnd, ConnectReadWriteAndCloseAgainstAUnit) {
  const int port = std::atoi(Environment(L"ZETA7_E2E_PORT").c_str());
  if (port == 0) GTEST_SKIP() << "run through scripts/wine-test.sh";
  // The user's own file: the port to use, and lines of someone else's.
  WriteIni("; kept\r\n[com]\r\ncom=" + std::to_string(port) + "\r\nbps=0\r\n[other]\r\nkeep=1\r\n");

  Program p;
  ASSERT_TRUE(p.Start(Wide(m_strProgram)));
  EXPECT_EQ(TextOf(p.Window()), "ZETA-7設定ユーティリティ 1.02");
  EXPECT_EQ(p.Text(IDC_COMBO_COMPORT), "COM" + std::to_string(port));
  EXPECT_EQ(p.Text(IDC_COMBO_BAUDRATE), "38400bps");

  p.Click(IDC_BUTTON_CONNECT);
  ASSERT_EQ(p.Box(), nullptr) << p.Answer(IDOK);
  EXPECT_EQ(p.Text(IDC_STATIC_VERSION), "ファームウェアバージョン V1.02.03");
  EXPECT_FALSE(IsWindowEnabled(p.Control(IDC_BUTTON_CONNECT)));
  EXPECT_TRUE(IsWindowEnabled(p.Control(IDC_BUTTON_WRITE)));

  p.Click(IDC_BUTTON_READ);
  EXPECT_EQ(p.Box(), nullptr);
  const int fields[] = {IDC_EDIT_CHANNEL, IDC_EDIT_ID, IDC_EDIT_RETRY_COUNT,
                        IDC_EDIT_RETRY_INTERVAL};
  const char* const written[] = {"20", "7", "9", "500"};
  std::string read;
  for (int i = 0; i < 4; ++i) {
    read += p.Text(fields[i]) + " ";
    p.SetText(fields[i], written[i]);
  }
  EXPECT_EQ(read, "12 3 5 1000 ");
  p.Click(IDC_BUTTON_WRITE);
  EXPECT_EQ(p.Answer(IDOK), "パラメータをZETA-7に書き込みます");
  EXPECT_EQ(p.Answer(IDOK), "書き込み終了");
  const std::string log = Environment(L"ZETA7_E2E_LOG");
  ASSERT_FALSE(log.empty()) << "ZETA7_E2E_LOG is not set";
  EXPECT_NE(ReadAll(Wide(log)).find("S 20 7 9 500\r\n"), std::string::npos);

  // Cancel keeps it running and the file as it was; OK saves and ends it.
  p.RequestClose();
  EXPECT_EQ(p.Answer(IDCANCEL), "終了しますか？");
  EXPECT_FALSE(p.Ended(0));
  RECT placed{};
  GetWindowRect(p.Window(), &placed);
  p.RequestClose();
  EXPECT_EQ(p.Answer(IDOK), "終了しますか？");
  ASSERT_TRUE(p.Ended(20000));

  const std::string saved = ReadAll(m_strIni);
  EXPECT_NE(saved.find("; kept"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[other]\r\nkeep=1"), std::string::npos) << saved;
  EXPECT_NE(saved.find("com=" + std::to_string(port)), std::string::npos) << saved;
  EXPECT_NE(saved.find("left=" + std::to_string(placed.left)), std::string::npos) << saved;
  EXPECT_NE(saved.find("top=" + std::to_string(placed.top)), std::string::npos) << saved;
}

// Alt+F4 and OK, again and again: each run ends the program with its
// settings saved. (Once in a while a run used to leave the program up with
// nothing saved.)
TEST_F(WindowEndToEnd, AltF4ThenOkEndsAndSavesEveryTime) {
  constexpr int kRuns = 12;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE(run);
    WriteIni("[com]\r\ncom=1\r\n");
    Program p;
    ASSERT_TRUE(p.Start(Wide(m_strProgram)));
    p.AltF4();
    EXPECT_EQ(p.Answer(IDOK), "終了しますか？");
    ASSERT_TRUE(p.Ended(20000));
    EXPECT_NE(ReadAll(m_strIni).find("[position]"), std::string::npos) << ReadAll(m_strIni);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
