// Why a COM port does not open on Windows, against a stand-in driver (Wine
// neither refuses a second open of a held port nor says "access denied").
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CComPort.h"
#include "ComResolver.h"
#include "FakeDriverWin32.h"
#include "PortDiagnosis.h"

namespace {

using PortDiagnosisWin32Test = FakeDriverTest;

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
    m_driver = CFakeDriver();
    m_driver.m_nOpenError = c.openError;
    m_driver.m_bGivesTimeouts = c.hasTimeouts;
    const PortDiagnosis d = DiagnoseDevice("\\\\.\\ZETA7-NOT-LISTED");
    EXPECT_EQ(d.problem, c.problem);
    const std::string text = DescribeProblem(d);
    EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
    EXPECT_EQ(m_driver.m_opened, std::vector<std::wstring>{L"\\\\.\\ZETA7-NOT-LISTED"});
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
  EXPECT_EQ(DescribeDevice(d), "\\\\.\\COM12");

  d = DiagnoseComPort(3, {{3, "\\\\.\\CNCA0"}, {4, "\\\\.\\CNCB0"}});
  EXPECT_EQ(DescribeDevice(d), "\\\\.\\CNCA0 ([ports] com3)");
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

// The present ports by the system's own numbers; its "\\.\COMn" names are
// not repeated.
TEST(PortDiagnosisWin32Text, PresentPortsByTheirNumbers) {
  PortDiagnosis d;
  d.device = "\\\\.\\COM9";
  d.problem = PortProblem::kMissing;
  d.present = {{"\\\\.\\COM3", "USB Serial Port (COM3)", 3}, {"\\\\.\\COM7", "", 7}};
  EXPECT_EQ(DescribeProblem(d), "デバイスがありません (存在するデバイス: COM3 COM7)");
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
  EXPECT_EQ(described.count(n) ? described.at(n) : "", name);
  EXPECT_EQ(described.count(250) ? described.at(250) : "", "\\\\.\\com" + std::to_string(n));
  EXPECT_EQ(described.count(251), 0u);
  EXPECT_EQ(DescribeComPorts(n - 1, {}).count(n), 0u);
  EXPECT_EQ(ResolveComDevice(n, {}), name);
}

}  // namespace
