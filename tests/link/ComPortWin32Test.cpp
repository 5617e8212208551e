// CComPort's Win32 calls against a stand-in driver: what goes into each call
// and what the port makes of each answer. The sequence over a real device is
// met by SimPortWin32Test under Wine; this covers what Wine cannot show
// there (the RTS escape, exclusive opening) and the failures a driver gives.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CComPort.h"
#include "CommCallsWin32.h"

namespace {

// The device as the driver reports it before the port touches it.
constexpr DWORD kDriverFlags = 0xFFFFFFFF;
constexpr DWORD kDriverTimeout = 77;

class CFakeDriver {
 public:
  // What the driver answers.
  bool m_bOpens = true;
  bool m_bGivesTimeouts = true;
  bool m_bTakesTimeouts = true;
  bool m_bReads = true;
  bool m_bWrites = true;
  DWORD m_nWriteShortBy = 0;
  std::string m_strWaiting;

  // What the port did.
  std::vector<std::string> m_calls;
  std::wstring m_strOpenedName;
  DWORD m_nAccess = 0, m_nShare = 99, m_nDisposition = 0, m_nAttributes = 0;
  bool m_bOverlappedUsed = false;
  std::vector<DCB> m_dcbsSet;
  std::vector<COMMTIMEOUTS> m_timeoutsSet;
  std::vector<DWORD> m_escapes;
  std::string m_strWritten;
  int m_nOpenHandles = 0;

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

HANDLE WINAPI FakeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                             DWORD disposition, DWORD attributes, HANDLE) {
  g_driver->m_calls.push_back("CreateFile");
  g_driver->m_strOpenedName = name;
  g_driver->m_nAccess = access;
  g_driver->m_nShare = share;
  g_driver->m_nDisposition = disposition;
  g_driver->m_nAttributes = attributes;
  if (!g_driver->m_bOpens) return INVALID_HANDLE_VALUE;
  ++g_driver->m_nOpenHandles;
  return kHandle;
}
BOOL WINAPI FakeGetCommState(HANDLE, LPDCB dcb) {
  g_driver->m_calls.push_back("GetCommState");
  *dcb = CFakeDriver::DriverDcb();
  return TRUE;
}
BOOL WINAPI FakeSetCommState(HANDLE, LPDCB dcb) {
  g_driver->m_calls.push_back("SetCommState");
  g_driver->m_dcbsSet.push_back(*dcb);
  return FALSE;  // a refused format must not matter
}
BOOL WINAPI FakeGetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) {
  g_driver->m_calls.push_back("GetCommTimeouts");
  *t = COMMTIMEOUTS{kDriverTimeout, kDriverTimeout, kDriverTimeout, kDriverTimeout, kDriverTimeout};
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
  const DWORD take = std::min<DWORD>(n, static_cast<DWORD>(g_driver->m_strWaiting.size()));
  std::memcpy(buf, g_driver->m_strWaiting.data(), take);
  g_driver->m_strWaiting.erase(0, take);
  *got = take;
  return TRUE;
}
BOOL WINAPI FakeWriteFile(HANDLE, LPCVOID buf, DWORD n, LPDWORD put, LPOVERLAPPED overlapped) {
  g_driver->m_calls.push_back("WriteFile");
  g_driver->m_bOverlappedUsed |= overlapped != nullptr;
  if (!g_driver->m_bWrites) return FALSE;
  *put = n - std::min(n, g_driver->m_nWriteShortBy);
  g_driver->m_strWritten.append(static_cast<const char*>(buf), *put);
  return TRUE;
}
BOOL WINAPI FakeFlushFileBuffers(HANDLE) {
  g_driver->m_calls.push_back("FlushFileBuffers");
  return TRUE;
}
BOOL WINAPI FakeCloseHandle(HANDLE h) {
  g_driver->m_calls.push_back("CloseHandle");
  EXPECT_EQ(h, kHandle);
  --g_driver->m_nOpenHandles;
  return TRUE;
}

const CommCalls kFakeCalls = {FakeCreateFile,      FakeGetCommState,    FakeSetCommState,
                              FakeGetCommTimeouts, FakeSetCommTimeouts, FakeEscapeCommFunction,
                              FakeReadFile,        FakeWriteFile,       FakeFlushFileBuffers,
                              FakeCloseHandle};

class ComPortWin32Test : public ::testing::Test {
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

TEST_F(ComPortWin32Test, OpenSetsTheLineAndTimeoutsAndKeepsTheDriversOtherFields) {
  {
    CComPort port;
    ASSERT_EQ(port.Reopen(7, 4800, 7, 2, 1), 1);
    EXPECT_EQ(m_driver.m_strOpenedName, L"\\\\.\\COM7");
    EXPECT_EQ(m_driver.m_nAccess, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(m_driver.m_nShare, 0u);  // nobody else may hold the port meanwhile
    EXPECT_EQ(m_driver.m_nDisposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(m_driver.m_nAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(m_driver.m_calls,
              (std::vector<std::string>{"CreateFile", "GetCommState", "SetCommState",
                                        "GetCommTimeouts", "SetCommTimeouts"}));

    ASSERT_EQ(m_driver.m_dcbsSet.size(), 1u);
    const DCB& set = m_driver.m_dcbsSet[0];
    DCB expected = CFakeDriver::DriverDcb();
    SetDcbFlags(&expected, kDriverFlags & 0xFFFFCFCD);
    expected.BaudRate = 4800;
    expected.ByteSize = 7;
    expected.Parity = 2;
    expected.StopBits = 1;
    EXPECT_EQ(std::memcmp(&set, &expected, sizeof set), 0);
    EXPECT_EQ(set.fParity, 0u);
    EXPECT_EQ(set.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(set.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(set.fOutxCtsFlow, 1u);  // as the driver reported it

    ASSERT_EQ(m_driver.m_timeoutsSet.size(), 1u);
    const COMMTIMEOUTS& t = m_driver.m_timeoutsSet[0];
    EXPECT_EQ(t.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 1000u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1000u);
  }
  EXPECT_EQ(m_driver.m_calls.back(), "CloseHandle");  // the destructor closes
  EXPECT_EQ(m_driver.m_nOpenHandles, 0);
}

TEST_F(ComPortWin32Test, OpenFailures) {
  const struct {
    const char* what;
    bool opens, givesTimeouts, takesTimeouts;
    bool held;
  } cases[] = {
      {"device not opened", false, true, true, false},
      {"time-outs not read", true, false, true, true},
      {"time-outs not taken", true, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m_driver = CFakeDriver();
    m_driver.m_bOpens = c.opens;
    m_driver.m_bGivesTimeouts = c.givesTimeouts;
    m_driver.m_bTakesTimeouts = c.takesTimeouts;
    CComPort port;
    EXPECT_EQ(port.Open(1), 0);
    EXPECT_EQ(port.IsOpen(), c.held);
    EXPECT_EQ(m_driver.m_nOpenHandles, c.held ? 1 : 0);
    port.Close();
    EXPECT_EQ(m_driver.m_nOpenHandles, 0);
  }
  // Out of range: no call at all.
  m_driver = CFakeDriver();
  CComPort port;
  for (int n : {0, -1, 257}) EXPECT_EQ(port.Open(n), 0) << n;
  EXPECT_TRUE(m_driver.m_calls.empty());
  EXPECT_EQ(port.Open(256), 1);
  EXPECT_EQ(m_driver.m_strOpenedName, L"\\\\.\\COM256");
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
  EXPECT_EQ(SETRTS, 3u);
  EXPECT_EQ(CLRRTS, 4u);
}

TEST_F(ComPortWin32Test, ReadsAndWritesAreSynchronousAndFailuresShow) {
  CComPort port;
  ASSERT_EQ(port.Open(1), 1);
  m_driver.m_strWaiting = "ab";
  char buf[8];
  EXPECT_EQ(port.Read(buf, 5), 2);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(port.ReadByte(), 0);  // nothing waiting
  m_driver.m_bReads = false;
  EXPECT_EQ(port.Read(buf, 5), -1);
  EXPECT_EQ(port.ReadByte(), 0);

  m_driver.m_calls.clear();
  EXPECT_EQ(port.WriteString("V\r\n"), 1);
  EXPECT_EQ(m_driver.m_strWritten, "V\r\n");
  EXPECT_EQ(m_driver.m_calls, (std::vector<std::string>{"WriteFile", "FlushFileBuffers"}));
  m_driver.m_nWriteShortBy = 1;  // the write time-out cut it short
  EXPECT_EQ(port.WriteString("R\r\n"), 0);
  m_driver.m_bWrites = false;
  EXPECT_EQ(port.Write("x", 1), 0);
  EXPECT_FALSE(m_driver.m_bOverlappedUsed);
}

}  // namespace
