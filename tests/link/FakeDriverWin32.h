// A stand-in serial driver behind CComPort's Win32 calls: it answers as
// told and records what it was given.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "CommCallsWin32.h"

namespace {

// The device as the driver reports it before the port touches it.
constexpr DWORD kDriverFlags = 0xFFFFFFFF;
constexpr DWORD kDriverTimeout = 77;

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
  int m_nQueueLooks = 0;

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
  *t = COMMTIMEOUTS{kDriverTimeout, kDriverTimeout, kDriverTimeout, kDriverTimeout, kDriverTimeout};
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
  ++g_driver->m_nQueueLooks;
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

const CommCalls kFakeCalls = {FakeCreateFile,      FakeGetCommState,    FakeSetCommState,
                              FakeGetCommTimeouts, FakeSetCommTimeouts, FakeEscapeCommFunction,
                              FakeReadFile,        FakeWriteFile,       FakeClearCommError,
                              FakeCloseHandle};

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

}  // namespace
