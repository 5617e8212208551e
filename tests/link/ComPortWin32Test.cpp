// CComPort's Win32 calls and the port diagnosis against a stand-in driver:
// what Wine cannot show (the RTS escape, exclusive opening, a second open of
// a held port, "access denied") and the failures a driver gives.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CComPort.h"
#include "CommCallsWin32.h"
#include "PortDiagnosis.h"

// Time-outs compared whole, for the vectors the fake records.
inline bool operator==(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

namespace {

// A stand-in serial driver behind the port's and the diagnosis' Win32 calls:
// it answers as told and records what it was given.

// The device as the driver reports it before the port touches it.
constexpr DWORD kDriverFlags = 0xFFFFFFFF;
constexpr DWORD kDriverTimeout = 77;
constexpr COMMTIMEOUTS kDriverTimeouts = {kDriverTimeout, kDriverTimeout, kDriverTimeout,
                                          kDriverTimeout, kDriverTimeout};

class CFakeDriver {
 public:
  // What the driver answers.
  DWORD m_nOpenError = 0;  // 0: it opens
  bool m_bGivesTimeouts = true;
  bool m_bTakesTimeouts = true;
  bool m_bReads = true;
  DWORD m_nWriteShortBy = 0;
  DWORD m_nOutQueue = 0;  // bytes that never leave (a handshake line held low)
  DWORD m_nFlags = kDriverFlags;
  std::string m_strWaiting;
  std::string m_strLater;  // arrives during a read whose time-outs let it wait

  // What the port did.
  std::vector<std::string> m_calls;
  std::vector<std::wstring> m_opened;
  DWORD m_nAccess = 0, m_nShare = 99;
  bool m_bOverlappedUsed = false;
  std::vector<DCB> m_dcbsSet;
  std::vector<COMMTIMEOUTS> m_timeoutsSet;
  std::vector<DWORD> m_escapes;
  std::string m_strWritten;
  int m_nOpenHandles = 0;
  std::vector<DWORD> m_sleeps;  // each wait the drain asked for, in ms

  static DCB DriverDcb() {
    DCB dcb;
    std::memset(&dcb, 0xA5, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 1200;
    SetDcbFlags(&dcb, kDriverFlags);
    return dcb;
  }
};

CFakeDriver* g_driver = nullptr;
HANDLE const kHandle = reinterpret_cast<HANDLE>(0x1234);

HANDLE WINAPI FakeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD,
                             DWORD, HANDLE) {
  g_driver->m_calls.push_back("CreateFile");
  g_driver->m_opened.push_back(name);
  g_driver->m_nAccess = access;
  g_driver->m_nShare = share;
  if (g_driver->m_nOpenError != 0) {
    SetLastError(g_driver->m_nOpenError);
    return INVALID_HANDLE_VALUE;
  }
  ++g_driver->m_nOpenHandles;
  return kHandle;
}
BOOL WINAPI FakeGetCommState(HANDLE, LPDCB dcb) {
  g_driver->m_calls.push_back("GetCommState");
  *dcb = CFakeDriver::DriverDcb();
  SetDcbFlags(dcb, g_driver->m_nFlags);
  return TRUE;
}
BOOL WINAPI FakeSetCommState(HANDLE, LPDCB dcb) {
  g_driver->m_calls.push_back("SetCommState");
  g_driver->m_dcbsSet.push_back(*dcb);
  return FALSE;  // a refused format must not matter
}
BOOL WINAPI FakeGetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) {
  g_driver->m_calls.push_back("GetCommTimeouts");
  *t = kDriverTimeouts;
  if (!g_driver->m_bGivesTimeouts) SetLastError(ERROR_INVALID_FUNCTION);
  return g_driver->m_bGivesTimeouts;
}
BOOL WINAPI FakeSetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) {
  g_driver->m_calls.push_back("SetCommTimeouts");
  g_driver->m_timeoutsSet.push_back(*t);
  return g_driver->m_bTakesTimeouts;
}
BOOL WINAPI FakeEscapeCommFunction(HANDLE, DWORD code) {
  g_driver->m_calls.push_back("EscapeCommFunction");
  g_driver->m_escapes.push_back(code);
  return FALSE;  // as over a pseudo-terminal: the result is not looked at
}
BOOL WINAPI FakeReadFile(HANDLE, LPVOID buf, DWORD n, LPDWORD got, LPOVERLAPPED overlapped) {
  g_driver->m_calls.push_back("ReadFile");
  g_driver->m_bOverlappedUsed |= overlapped != nullptr;
  if (!g_driver->m_bReads) return FALSE;
  if (g_driver->m_strWaiting.empty() && !g_driver->m_timeoutsSet.empty() &&
      g_driver->m_timeoutsSet.back().ReadTotalTimeoutMultiplier == MAXDWORD) {
    g_driver->m_strWaiting.swap(g_driver->m_strLater);
  }
  const DWORD take = std::min<DWORD>(n, static_cast<DWORD>(g_driver->m_strWaiting.size()));
  std::memcpy(buf, g_driver->m_strWaiting.data(), take);
  g_driver->m_strWaiting.erase(0, take);
  *got = take;
  return TRUE;
}
BOOL WINAPI FakeWriteFile(HANDLE, LPCVOID buf, DWORD n, LPDWORD put, LPOVERLAPPED overlapped) {
  g_driver->m_calls.push_back("WriteFile");
  g_driver->m_bOverlappedUsed |= overlapped != nullptr;
  *put = n - std::min(n, g_driver->m_nWriteShortBy);
  g_driver->m_strWritten.append(static_cast<const char*>(buf), *put);
  return TRUE;
}
BOOL WINAPI FakeClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) {
  if (g_driver->m_calls.empty() || g_driver->m_calls.back() != "ClearCommError") {
    g_driver->m_calls.push_back("ClearCommError");
  }
  *errors = 0;
  *stat = COMSTAT{};
  stat->cbOutQue = g_driver->m_nOutQueue;
  return TRUE;
}
BOOL WINAPI FakeCloseHandle(HANDLE h) {
  g_driver->m_calls.push_back("CloseHandle");
  EXPECT_EQ(h, kHandle);
  --g_driver->m_nOpenHandles;
  return TRUE;
}

VOID WINAPI FakeSleep(DWORD ms) {
  g_driver->m_sleeps.push_back(ms);
  Sleep(ms);
}

const CommCalls kFakeCalls = {
    FakeCreateFile,      FakeGetCommState,       FakeSetCommState, FakeGetCommTimeouts,
    FakeSetCommTimeouts, FakeEscapeCommFunction, FakeReadFile,     FakeWriteFile,
    FakeClearCommError,  FakeCloseHandle,        FakeSleep};

class FakeDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_driver = &m_driver;
    UseCommCalls(&kFakeCalls);
  }
  void TearDown() override {
    UseCommCalls(nullptr);
    g_driver = nullptr;
  }

  CFakeDriver m_driver;
};

using ComPortWin32Test = FakeDriverTest;
using PortDiagnosisWin32Test = FakeDriverTest;

TEST_F(ComPortWin32Test, OpenSetsTheLineAndTimeoutsAndKeepsTheDriversOtherFields) {
  {
    CComPort port;
    ASSERT_EQ(port.Reopen(7, 4800, 7, 2, 1), 1);
    EXPECT_EQ(m_driver.m_opened.back(), L"\\\\.\\COM7");
    EXPECT_EQ(m_driver.m_nAccess, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(m_driver.m_nShare, 0u);  // nobody else may hold the port meanwhile
    EXPECT_EQ(m_driver.m_calls,
              (std::vector<std::string>{"CreateFile", "GetCommState", "SetCommState",
                                        "GetCommTimeouts", "SetCommTimeouts"}));

    ASSERT_EQ(m_driver.m_dcbsSet.size(), 1u);
    const DCB& set = m_driver.m_dcbsSet[0];
    // No parity check, DTR and RTS off; the rest (CTS flow included) as read.
    DCB expected = CFakeDriver::DriverDcb();
    SetDcbFlags(&expected, kDriverFlags & 0xFFFFCFCD);
    expected.BaudRate = 4800;
    expected.ByteSize = 7;
    expected.Parity = 2;
    expected.StopBits = 1;
    EXPECT_EQ(std::memcmp(&set, &expected, sizeof set), 0);

    EXPECT_EQ(m_driver.m_timeoutsSet, (std::vector<COMMTIMEOUTS>{{MAXDWORD, 0, 0, 1000, 1000}}));
  }
  EXPECT_EQ(m_driver.m_calls.back(), "CloseHandle");  // the destructor closes
  EXPECT_EQ(m_driver.m_nOpenHandles, 0);
}

TEST_F(ComPortWin32Test, LineControlAndRtsEscapes) {
  CComPort port;
  ASSERT_EQ(port.Open(3), 1);
  EXPECT_EQ(port.SetRts(1), 0);  // never set: nothing sent
  const struct {
    int rts, dtr;
    DWORD rtsControl, dtrControl;
  } cases[] = {{1, 0, RTS_CONTROL_ENABLE, DTR_CONTROL_DISABLE},
               {0, 5, RTS_CONTROL_DISABLE, DTR_CONTROL_ENABLE},
               {2, 0, RTS_CONTROL_ENABLE, DTR_CONTROL_DISABLE}};
  for (const auto& c : cases) {
    m_driver.m_dcbsSet.clear();
    EXPECT_EQ(port.SetLineControl(c.rts, c.dtr), 1);
    ASSERT_EQ(m_driver.m_dcbsSet.size(), 1u);
    const DCB& set = m_driver.m_dcbsSet[0];
    EXPECT_EQ(set.fRtsControl, c.rtsControl) << c.rts;
    EXPECT_EQ(set.fDtrControl, c.dtrControl) << c.dtr;
    // Everything else as read, fParity included.
    EXPECT_EQ(DcbFlags(set) & 0xFFFFCFCF, kDriverFlags & 0xFFFFCFCF);
    EXPECT_EQ(set.BaudRate, 1200u);
  }
  EXPECT_EQ(port.SetRts(1), 1);
  EXPECT_EQ(port.SetRts(0), 1);
  ASSERT_EQ(port.SetLineControl(0, 0), 1);
  EXPECT_EQ(port.SetRts(1), 0);
  EXPECT_EQ(m_driver.m_escapes, (std::vector<DWORD>{SETRTS, CLRRTS}));
}

TEST_F(ComPortWin32Test, ReadsAndWritesAreSynchronousAndFailuresShow) {
  CComPort port;
  ASSERT_EQ(port.Open(1), 1);
  m_driver.m_strWaiting = "ab";
  char buf[8];
  EXPECT_EQ(port.Read(buf, 5), 2);
  EXPECT_STREQ(buf, "ab");
  m_driver.m_bReads = false;
  EXPECT_EQ(port.Read(buf, 5), -1);
  EXPECT_EQ(port.ReadByte(), 0);

  m_driver.m_calls.clear();
  EXPECT_EQ(port.WriteString("V\r\n"), 1);
  EXPECT_EQ(m_driver.m_strWritten, "V\r\n");
  EXPECT_EQ(m_driver.m_calls, (std::vector<std::string>{"WriteFile", "ClearCommError"}));
  EXPECT_FALSE(port.LastWriteFailed());
  m_driver.m_nWriteShortBy = 1;  // the write time-out cut it short
  EXPECT_EQ(port.WriteString("R\r\n"), 0);
  EXPECT_TRUE(port.LastWriteFailed());
  EXPECT_FALSE(m_driver.m_bOverlappedUsed);
}

// A wait is one read that waits on the port itself, not a poll, and the
// time-outs of the reads that never wait come back after it; a read that
// gives nothing at once although it could wait means the device has gone.
TEST_F(ComPortWin32Test, AWaitIsOneReadThatWaitsAndPutsTheTimeoutsBack) {
  CComPort port;
  ASSERT_EQ(port.Open(1), 1);
  m_driver.m_calls.clear();
  m_driver.m_timeoutsSet.clear();
  m_driver.m_strLater = "x";
  EXPECT_EQ(port.WaitByte(250), 0x100 | 'x');
  EXPECT_EQ(m_driver.m_calls,
            (std::vector<std::string>{"ReadFile", "GetCommTimeouts", "SetCommTimeouts", "ReadFile",
                                      "SetCommTimeouts"}));
  const COMMTIMEOUTS timed = {MAXDWORD, MAXDWORD, 250, kDriverTimeout, kDriverTimeout};
  EXPECT_EQ(m_driver.m_timeoutsSet, (std::vector<COMMTIMEOUTS>{timed, kDriverTimeouts}));

  EXPECT_EQ(port.WaitByte(250), -1);
  EXPECT_EQ(port.WaitByte(0), 0);  // only a look: nothing to set
  m_driver.m_bTakesTimeouts = false;
  m_driver.m_strLater = "y";
  EXPECT_EQ(port.WaitByte(250), -1);
}

// Output that never leaves the driver (another program left CTS flow on and
// the unit holds CTS low): the write fails at its bound instead of waiting
// for ever, and says which handshakes were on; with none on, it says none.
TEST_F(ComPortWin32Test, OutputThatWillNotDrainFailsWithinTheBound) {
  CComPort port;
  ASSERT_EQ(port.Open(1), 1);
  m_driver.m_nOutQueue = 3;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(portsys::WriteBytesWithin(kHandle, "V\r\n", 3, 50));
  EXPECT_LT(GetTickCount64() - start, 5000u);
  // Three bytes at the driver's 1200 bit/s take 25 ms: the wait looks again
  // after that time, not every millisecond (the waits near the deadline
  // are what is left of it).
  ASSERT_FALSE(m_driver.m_sleeps.empty());
  EXPECT_EQ(m_driver.m_sleeps.front(), 25u);

  const DWORD ctsAndXon = (1u << 2) | (1u << 8);  // fOutxCtsFlow, fOutX
  m_driver.m_nFlags = ctsAndXon;
  const auto names = [] {
    const std::vector<const char*> on = portsys::FlowControlLeftOn(kHandle);
    std::string text;
    for (const char* name : on)
      text += (text.empty() ? "" : ", ") + std::string(TrIn(CliLanguage::kJapanese, name));
    return text;
  };
  EXPECT_EQ(names(), "CTS フロー制御, XON/XOFF");
  m_driver.m_nFlags = 0;
  EXPECT_EQ(names(), "");
  m_driver.m_nFlags = 1u << 6;  // fDsrSensitivity
  EXPECT_EQ(names(), "DSR 感度");

  m_driver.m_nOutQueue = 0;
  EXPECT_TRUE(portsys::WriteBytesWithin(kHandle, "V\r\n", 3, 50));
}

// Each refusal of the driver fails the port's open, the device held until
// Close wherever it did open, and the diagnosis, which opens the same way
// (alone) and closes at once, gives its reason.
TEST_F(PortDiagnosisWin32Test, EachRefusalFailsTheOpenAndHasItsReason) {
  const struct {
    DWORD openError;
    bool givesTimeouts, takesTimeouts;
    int opens;  // what the port's Open gives
    PortProblem problem;
    const char* text;  // the start of DescribeProblem; null: the diagnosis sets no time-outs
  } cases[] = {
      {0, true, true, 1, PortProblem::kNone, "オープンできます"},
      {ERROR_FILE_NOT_FOUND, true, true, 0, PortProblem::kMissing, "デバイスがありません ("},
      {ERROR_PATH_NOT_FOUND, true, true, 0, PortProblem::kMissing, "デバイスがありません ("},
      {ERROR_ACCESS_DENIED, true, true, 0, PortProblem::kBusy, "他のプログラムが使用中です"},
      {ERROR_SHARING_VIOLATION, true, true, 0, PortProblem::kBusy, "他のプログラムが使用中です"},
      {ERROR_GEN_FAILURE, true, true, 0, PortProblem::kOther, "オープンできません: "},
      // It opens but has no line settings, and the system lists no such port.
      {0, false, true, 0, PortProblem::kNotTerminal, "シリアルデバイスではありません"},
      {0, true, false, 0, PortProblem::kNone, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.openError << " " << c.givesTimeouts << c.takesTimeouts);
    m_driver = CFakeDriver();
    m_driver.m_nOpenError = c.openError;
    m_driver.m_bGivesTimeouts = c.givesTimeouts;
    m_driver.m_bTakesTimeouts = c.takesTimeouts;
    CComPort port;
    EXPECT_EQ(port.Open(1), c.opens);
    EXPECT_EQ(port.IsOpen(), c.openError == 0);
    EXPECT_EQ(m_driver.m_nOpenHandles, c.openError == 0 ? 1 : 0);
    port.Close();
    EXPECT_EQ(m_driver.m_nOpenHandles, 0);
    if (c.text == nullptr) continue;

    const PortDiagnosis d = DiagnoseDevice("\\\\.\\ZETA7-NOT-LISTED");
    EXPECT_EQ(d.problem, c.problem);
    const std::string text = DescribeProblem(d, CliLanguage::kJapanese);
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    EXPECT_EQ(m_driver.m_opened,
              (std::vector<std::wstring>{L"\\\\.\\COM1", L"\\\\.\\ZETA7-NOT-LISTED"}));
    EXPECT_EQ(m_driver.m_nShare, 0u);  // as the port opens: alone
    EXPECT_EQ(m_driver.m_nOpenHandles, 0);
    // The system's own words, not a number, for a refusal we have no text for.
    if (c.problem == PortProblem::kOther) {
      EXPECT_FALSE(d.systemError.empty());
      EXPECT_EQ(d.systemError.find("error "), std::string::npos) << d.systemError;
      EXPECT_NE(d.systemError.back(), '\n');
    }
  }
}

TEST_F(PortDiagnosisWin32Test, NumberLeadsToItsNameOrToTheMapEntry) {
  PortDiagnosis d = DiagnoseComPort(12, {});
  EXPECT_EQ(DescribeDevice(d, CliLanguage::kJapanese), "\\\\.\\COM12");

  d = DiagnoseComPort(3, {{3, "\\\\.\\CNCA0"}, {4, "\\\\.\\CNCB0"}});
  EXPECT_EQ(DescribeDevice(d, CliLanguage::kJapanese), "\\\\.\\CNCA0 ([ports] com3)");
  EXPECT_EQ(m_driver.m_opened.back(), L"\\\\.\\CNCA0");

  for (int n : {0, 257}) {
    const size_t opens = m_driver.m_opened.size();
    d = DiagnoseComPort(n, {});
    EXPECT_EQ(d.problem, PortProblem::kNoDevice) << n;
    EXPECT_EQ(m_driver.m_opened.size(), opens) << n;  // nothing to try
  }
}

// The port itself opens what a [ports] entry names, converted exactly; a
// name that is not UTF-8 opens nothing at all.
TEST_F(PortDiagnosisWin32Test, PortOpensTheMappedNameAsUtf16) {
  CComPort port;
  port.SetComMap({{2, "\\\\.\\\xE3\x83\x9D\xE3\x83\xBC\xE3\x83\x88"}});  // "ポート"
  EXPECT_EQ(port.Open(2), 1);
  EXPECT_EQ(m_driver.m_opened.back(), L"\\\\.\\\u30DD\u30FC\u30C8");
  port.Close();

  port.SetComMap({{2, "\\\\.\\COM\xFF"}});
  const size_t opens = m_driver.m_opened.size();
  EXPECT_EQ(port.Open(2), 0);
  EXPECT_EQ(m_driver.m_opened.size(), opens);
  const PortDiagnosis d = DiagnoseComPort(2, port.GetComMap());
  EXPECT_EQ(d.problem, PortProblem::kOther);
  EXPECT_EQ(m_driver.m_opened.size(), opens);
}

}  // namespace
