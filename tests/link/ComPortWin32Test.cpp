// CComPort's Win32 calls against a stand-in driver: what Wine cannot show
// (the RTS escape, exclusive opening) and the failures a driver gives.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "CComPort.h"
#include "FakeDriverWin32.h"

namespace {

using ComPortWin32Test = FakeDriverTest;

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

    ASSERT_EQ(m_driver.m_timeoutsSet.size(), 1u);
    const COMMTIMEOUTS expectedTimeouts = {MAXDWORD, 0, 0, 1000, 1000};
    EXPECT_EQ(std::memcmp(&m_driver.m_timeoutsSet[0], &expectedTimeouts, sizeof expectedTimeouts),
              0);
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
    m_driver.m_nOpenError = c.opens ? 0 : ERROR_FILE_NOT_FOUND;
    m_driver.m_bGivesTimeouts = c.givesTimeouts;
    m_driver.m_bTakesTimeouts = c.takesTimeouts;
    CComPort port;
    EXPECT_EQ(port.Open(1), 0);
    EXPECT_EQ(port.IsOpen(), c.held);
    EXPECT_EQ(m_driver.m_nOpenHandles, c.held ? 1 : 0);
    port.Close();
    EXPECT_EQ(m_driver.m_nOpenHandles, 0);
  }
  m_driver = CFakeDriver();
  CComPort port;
  EXPECT_EQ(port.Open(256), 1);
  EXPECT_EQ(m_driver.m_opened.back(), L"\\\\.\\COM256");
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
  ASSERT_EQ(m_driver.m_timeoutsSet.size(), 2u);
  const COMMTIMEOUTS& timed = m_driver.m_timeoutsSet[0];
  EXPECT_EQ(timed.ReadIntervalTimeout, MAXDWORD);
  EXPECT_EQ(timed.ReadTotalTimeoutMultiplier, MAXDWORD);
  EXPECT_EQ(timed.ReadTotalTimeoutConstant, 250u);
  EXPECT_EQ(timed.WriteTotalTimeoutConstant, kDriverTimeout);
  const COMMTIMEOUTS& back = m_driver.m_timeoutsSet[1];
  EXPECT_EQ(back.ReadTotalTimeoutMultiplier, kDriverTimeout);
  EXPECT_EQ(back.ReadTotalTimeoutConstant, kDriverTimeout);

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
  m_driver.m_nQueueLooks = 0;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(portsys::WriteBytesWithin(kHandle, "V\r\n", 3, 50));
  EXPECT_LT(GetTickCount64() - start, 5000u);
  // Three bytes at the driver's 1200 bit/s take 25 ms: the wait looks again
  // after that time, not every millisecond.
  EXPECT_LE(m_driver.m_nQueueLooks, 6);

  const DWORD ctsAndXon = (1u << 2) | (1u << 8);  // fOutxCtsFlow, fOutX
  m_driver.m_nFlags = ctsAndXon;
  EXPECT_EQ(portsys::FlowControlLeftOn(kHandle), "CTS フロー制御, XON/XOFF");
  m_driver.m_nFlags = 0;
  EXPECT_EQ(portsys::FlowControlLeftOn(kHandle), "");
  m_driver.m_nFlags = 1u << 6;  // fDsrSensitivity
  EXPECT_EQ(portsys::FlowControlLeftOn(kHandle), "DSR 感度");

  m_driver.m_nOutQueue = 0;
  EXPECT_TRUE(portsys::WriteBytesWithin(kHandle, "V\r\n", 3, 50));
}

}  // namespace
