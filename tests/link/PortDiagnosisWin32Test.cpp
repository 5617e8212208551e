// Why a COM port does not open on Windows, against a stand-in driver: each
// refusal the system gives becomes our reason with the same texts as on
// Linux, and the probe opens exactly as the port does and lets go again.
// Wine neither refuses a second open of a held port nor has a port that
// says "access denied", so those answers come from the fake.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CComPort.h"
#include "ComResolver.h"
#include "CommCallsWin32.h"
#include "PortDiagnosis.h"

namespace {

struct CFakeDevice {
  DWORD m_nOpenError = 0;  // 0: it opens
  bool m_bHasTimeouts = true;
  std::vector<std::wstring> m_opened;
  DWORD m_nShare = 99;
  int m_nHandles = 0;
};

CFakeDevice* g_device = nullptr;
HANDLE const kHandle = reinterpret_cast<HANDLE>(0x4321);

HANDLE WINAPI FakeCreateFile(LPCWSTR name, DWORD, DWORD share, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                             HANDLE) {
  g_device->m_opened.push_back(name);
  g_device->m_nShare = share;
  if (g_device->m_nOpenError != 0) {
    SetLastError(g_device->m_nOpenError);
    return INVALID_HANDLE_VALUE;
  }
  ++g_device->m_nHandles;
  return kHandle;
}
BOOL WINAPI FakeGetCommState(HANDLE, LPDCB) { return TRUE; }
BOOL WINAPI FakeSetCommState(HANDLE, LPDCB) { return TRUE; }
BOOL WINAPI FakeGetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) {
  *t = COMMTIMEOUTS{};
  if (!g_device->m_bHasTimeouts) SetLastError(ERROR_INVALID_FUNCTION);
  return g_device->m_bHasTimeouts;
}
BOOL WINAPI FakeSetCommTimeouts(HANDLE, LPCOMMTIMEOUTS) { return TRUE; }
BOOL WINAPI FakeEscapeCommFunction(HANDLE, DWORD) { return TRUE; }
BOOL WINAPI FakeReadFile(HANDLE, LPVOID, DWORD, LPDWORD got, LPOVERLAPPED) {
  *got = 0;
  return TRUE;
}
BOOL WINAPI FakeWriteFile(HANDLE, LPCVOID, DWORD n, LPDWORD put, LPOVERLAPPED) {
  *put = n;
  return TRUE;
}
BOOL WINAPI FakeFlushFileBuffers(HANDLE) { return TRUE; }
BOOL WINAPI FakeCloseHandle(HANDLE) {
  --g_device->m_nHandles;
  return TRUE;
}

const CommCalls kFakeCalls = {FakeCreateFile,      FakeGetCommState,    FakeSetCommState,
                              FakeGetCommTimeouts, FakeSetCommTimeouts, FakeEscapeCommFunction,
                              FakeReadFile,        FakeWriteFile,       FakeFlushFileBuffers,
                              FakeCloseHandle};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class PortDiagnosisWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    g_device = &m_device;
    UseCommCalls(&kFakeCalls);
  }
  void TearDown() override {
    UseCommCalls(nullptr);
    g_device = nullptr;
  }
  CFakeDevice m_device;
};

TEST_F(PortDiagnosisWin32Test, EachRefusalHasItsReason) {
  const struct {
    DWORD openError;
    bool hasTimeouts;
    PortProblem problem;
    const char* text;  // the start of DescribeProblem
  } cases[] = {
      {0, true, PortProblem::kNone, "オープンできます"},
      {ERROR_FILE_NOT_FOUND, true, PortProblem::kMissing, "デバイスがありません ("},
      {ERROR_PATH_NOT_FOUND, true, PortProblem::kMissing, "デバイスがありません ("},
      {ERROR_ACCESS_DENIED, true, PortProblem::kBusy, "他のプログラムが使用中です"},
      {ERROR_SHARING_VIOLATION, true, PortProblem::kBusy, "他のプログラムが使用中です"},
      {ERROR_GEN_FAILURE, true, PortProblem::kOther, "オープンできません: "},
      // It opens but has no line settings, and the system lists no such port.
      {0, false, PortProblem::kNotTerminal, "シリアルデバイスではありません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.openError);
    m_device = CFakeDevice();
    m_device.m_nOpenError = c.openError;
    m_device.m_bHasTimeouts = c.hasTimeouts;
    const PortDiagnosis d = DiagnoseDevice("\\\\.\\ZETA7-NOT-LISTED");
    EXPECT_EQ(d.problem, c.problem);
    const std::string text = DescribeProblem(d);
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    EXPECT_EQ(m_device.m_opened, std::vector<std::wstring>{L"\\\\.\\ZETA7-NOT-LISTED"});
    EXPECT_EQ(m_device.m_nShare, 0u);  // as the port opens: alone
    EXPECT_EQ(m_device.m_nHandles, 0);
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
  EXPECT_EQ(d.device, "\\\\.\\COM12");
  EXPECT_EQ(d.mapKey, "");
  EXPECT_EQ(DescribeDevice(d), "\\\\.\\COM12");

  d = DiagnoseComPort(3, {{3, "\\\\.\\CNCA0"}, {4, "\\\\.\\CNCB0"}});
  EXPECT_EQ(d.device, "\\\\.\\CNCA0");
  EXPECT_EQ(DescribeDevice(d), "\\\\.\\CNCA0 ([ports] com3)");
  EXPECT_EQ(m_device.m_opened.back(), L"\\\\.\\CNCA0");

  for (int n : {0, 257}) {
    const size_t opens = m_device.m_opened.size();
    d = DiagnoseComPort(n, {});
    EXPECT_EQ(d.problem, PortProblem::kNoDevice) << n;
    EXPECT_EQ(m_device.m_opened.size(), opens) << n;  // nothing to try
  }
}

// The port itself opens what a [ports] entry names, converted exactly; a
// name that is not UTF-8 opens nothing at all.
TEST_F(PortDiagnosisWin32Test, PortOpensTheMappedNameAsUtf16) {
  CComPort port;
  port.SetComMap({{2, "\\\\.\\\xE3\x83\x9D\xE3\x83\xBC\xE3\x83\x88"}});  // "ポート"
  EXPECT_EQ(port.Open(2), 1);
  EXPECT_EQ(m_device.m_opened.back(), L"\\\\.\\\u30DD\u30FC\u30C8");
  port.Close();

  port.SetComMap({{2, "\\\\.\\COM\xFF"}});
  const size_t opens = m_device.m_opened.size();
  EXPECT_EQ(port.Open(2), 0);
  EXPECT_EQ(m_device.m_opened.size(), opens);
  const PortDiagnosis d = DiagnoseComPort(2, port.GetComMap());
  EXPECT_EQ(d.problem, PortProblem::kOther);
  EXPECT_EQ(m_device.m_opened.size(), opens);
}

// The present ports by the system's own numbers; its "\\.\COMn" names are
// not repeated.
TEST(PortDiagnosisWin32Text, PresentPortsByTheirNumbers) {
  PortDiagnosis d;
  d.device = "\\\\.\\COM9";
  d.problem = PortProblem::kMissing;
  d.present = {{"\\\\.\\COM3", "USB Serial Port (COM3)", 3}, {"\\\\.\\COM7", "", 7}};
  EXPECT_EQ(DescribeProblem(d), "デバイスがありません (存在するデバイス: COM3 COM7)");
  d.present.clear();
  EXPECT_TRUE(Has(DescribeProblem(d), "シリアルデバイスは一つも見つかりません"));
}

// The ports Wine's port map makes are in the system's serial device map:
// listed by their own numbers, in order, and described for the window's
// list; a [ports] entry for another number is described only when it names
// a present port (in any case).
TEST(SerialDevicesWin32Test, PresentPortsByTheSystemsNumbers) {
  const char* sound = std::getenv("ZETA7_SIM_SOUND");
  if (sound == nullptr) GTEST_SKIP() << "ZETA7_SIM_SOUND not set: run through scripts/wine-test.sh";
  const int n = std::atoi(sound);
  const std::string name = "\\\\.\\COM" + std::to_string(n);

  const std::vector<SerialDevice> devices = ListSerialDevices();
  int previous = 0;
  bool found = false;
  for (const SerialDevice& d : devices) {
    EXPECT_GT(d.comNumber, previous);
    previous = d.comNumber;
    EXPECT_EQ(d.path, "\\\\.\\COM" + std::to_string(d.comNumber));
    found = found || d.comNumber == n;
  }
  EXPECT_TRUE(found) << name;

  const std::map<int, std::string> described =
      DescribeComPorts(255, {{250, "\\\\.\\com" + std::to_string(n)}, {251, "\\\\.\\ZETA7-NONE"}});
  ASSERT_EQ(described.count(n), 1u);
  EXPECT_EQ(described.at(n), name);
  ASSERT_EQ(described.count(250), 1u);
  EXPECT_EQ(described.at(250), "\\\\.\\com" + std::to_string(n));
  EXPECT_EQ(described.count(251), 0u);
  EXPECT_EQ(DescribeComPorts(n - 1, {}).count(n), 0u);
  EXPECT_EQ(ResolveComDevice(n, {}), name);
}

}  // namespace
