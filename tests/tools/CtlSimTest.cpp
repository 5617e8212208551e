// zeta7ctl end to end: the built program against several simulated units at
// once, each on its own pseudo-terminal, some with faults.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CComPort.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "ToolProcess.h"

namespace {

const std::string kProfile = "[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CtlSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals (/dev/ptmx)";
    WriteFile(dir_ / "unit.ini", kProfile);
  }

  // Starts one unit per argument list; unit i is COMi+1 in the settings file.
  void StartUnits(const std::vector<std::vector<std::string>>& args) {
    std::string ini = "[ports]\n";
    for (size_t i = 0; i < args.size(); ++i) {
      sims_.push_back(std::make_unique<CSimProcess>());
      ASSERT_TRUE(sims_.back()->Start(args[i])) << sims_.back()->Error();
      ini += "com" + std::to_string(i + 1) + "=" + sims_.back()->DevicePath() + "\n";
    }
    WriteFile(settings(), ini);
  }
  std::string settings() const { return dir_ / "settings.ini"; }
  std::string profile() const { return dir_ / "unit.ini"; }

  // zeta7ctl with the test's settings file.
  ToolResult Ctl(std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--settings", settings()});
    return CToolProcess("zeta7ctl").Run(args);
  }

  CTempDir dir_;
  std::vector<std::unique_ptr<CSimProcess>> sims_;
};

// Each unit gets its own record and outcome; verify catches a unit that says
// "OK" and keeps its old values.
TEST_F(CtlSimTest, ApplyRecordsEveryUnitWithItsOutcome) {
  StartUnits({{}, {"--no-store"}, {"--silent"}, {"--lower-ok"}, {"--r18"}});
  for (const char* pace : {"fast", "fixed"}) {
    const ToolResult r = Ctl({"apply", profile(), "-p", "COM1", "-p", "COM2", "-p", "COM3", "-p",
                              "COM4", "-p", "COM5", "--json", "--pace", pace});
    EXPECT_EQ(r.exitCode, 1) << pace << r.err;
    const std::vector<std::string> records = Lines(r.out);
    ASSERT_EQ(records.size(), 5u) << r.out;
    auto recordOf = [&](const std::string& port) {
      for (const std::string& line : records) {
        if (Has(line, "\"port\":\"" + port + "\"")) return line;
      }
      return std::string();
    };
    const std::string after =
        "\"after\":{\"channel\":20,\"id\":4,\"retry_count\":-1,"
        "\"retry_interval\":500}";
    EXPECT_TRUE(Has(recordOf("COM1"), "\"outcome\":\"ok\"")) << recordOf("COM1");
    EXPECT_TRUE(Has(recordOf("COM1"), after)) << recordOf("COM1");
    EXPECT_TRUE(Has(recordOf("COM5"), "\"outcome\":\"ok\"")) << recordOf("COM5");
    EXPECT_TRUE(Has(recordOf("COM2"), "書き込みに失敗しました COM2")) << recordOf("COM2");
    EXPECT_TRUE(Has(recordOf("COM2"), "読み戻した値が違います")) << recordOf("COM2");
    EXPECT_TRUE(Has(recordOf("COM3"), "ZETA-7と通信できません COM3")) << recordOf("COM3");
    EXPECT_TRUE(Has(recordOf("COM4"), "\\\"ok\\\"")) << recordOf("COM4");
    EXPECT_TRUE(Has(r.err, "ZETA-7と通信できません COM3 (" + sims_[2]->DevicePath() + ")"))
        << r.err;
  }
  // The sound unit stored what was written.
  const ToolResult read = Ctl({"read", "-p", "COM1", "--pace", "fast"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_TRUE(Has(read.out, "チャネル 20, ID 4, 無限リトライ, リトライ間隔[msec] 500")) << read.out;
}

// Usage errors stop before anything reaches any unit.
TEST_F(CtlSimTest, UsageErrorsSendNothing) {
  StartUnits({{}});
  WriteFile(dir_ / "bad.ini", "[parameters]\nchannel=99\nid=4\nretry_count=5\nretry_interval=1\n");
  const std::vector<std::vector<std::string>> cases = {
      {"write", "-p", "COM1", "-c", "47", "-i", "0", "-r", "0", "-t", "0"},
      {"apply", dir_ / "bad.ini", "-p", "COM1"},
      {"apply", dir_ / "none.ini", "-p", "COM1"},
      {"read", "-p", "COM1", "-p", "COM200"},
      {"read", "-p", "COM1", "-p", sims_[0]->DevicePath()},
      {"read", "-p", "COM1", "--pace", "quick"},
  };
  for (const auto& args : cases) {
    const ToolResult r = Ctl(args);
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args) << r.err;
    EXPECT_TRUE(Has(r.err, "zeta7ctl: ")) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(sims_[0]->ReceivedBytes(), "");
}

// info and read give the window's verdicts; save writes a profile that
// apply can use.
TEST_F(CtlSimTest, InfoReadAndSaveFollowTheWindowsRules) {
  StartUnits({{"--unit-version", "V9.9"}, {"--wrong-prompt"}, {"--lower-v"}, {"--r19"}});
  ToolResult r =
      Ctl({"info", "-p", "COM1", "-p", "COM2", "-p", "COM3", "--pace", "fast", "--timeout", "200"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.out, "COM1 (" + sims_[0]->DevicePath() + "): ファームウェアバージョン V9.9"))
      << r.out;
  EXPECT_TRUE(Has(r.err, "ZETA-7と通信できません COM2")) << r.err;
  EXPECT_TRUE(Has(r.err, "プロンプト \"ZETA7> \"")) << r.err;
  EXPECT_TRUE(Has(r.err, "ZETA-7との通信が不正です COM3")) << r.err;

  r = Ctl({"read", "-p", "COM4"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "受信データが不正です COM4")) << r.err;

  const std::string saved = dir_ / "saved.ini";
  r = Ctl({"save", "-p", "COM1", saved, "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(saved),
            "[parameters]\nchannel=12\nid=3\nretry_count=5\nretry_interval=1000\n");
  r = Ctl({"apply", saved, "-p", "COM1", "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// A port that cannot be opened says which device and why; the others go on.
TEST_F(CtlSimTest, HeldPortFailsWithItsHolderAndTheRestAreDone) {
  StartUnits({{}, {}});
  CComPort holder;
  holder.SetComMap({{1, sims_[1]->DevicePath()}});
  ASSERT_EQ(holder.Open(1), 1);
  const ToolResult r =
      Ctl({"read", "-p", "COM1", "-p", "COM2", "--pace", "fast", "--record", dir_ / "rec.jsonl"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "COM2がオープンできません。 " + sims_[1]->DevicePath() +
                             " ([ports] com2): 他のプログラムが使用中です (pid " +
                             std::to_string(getpid())))
      << r.err;
  EXPECT_EQ(Lines(ReadFile(dir_ / "rec.jsonl")).size(), 2u);
}

// Ctrl+C in the middle: the exchange in flight ends, nothing new is sent,
// every unit has its record, the exit code is 130.
TEST_F(CtlSimTest, InterruptFinishesTheExchangesInFlightAndRecordsEveryUnit) {
  StartUnits({{}, {}, {}});
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(ctl.Start({"apply", "--settings", settings(), profile(), "-p", "COM1", "-p", "COM2",
                         "-p", "COM3", "--record", dir_ / "rec.jsonl"}));
  // The fixed pacing holds each "S" exchange for about 250 ms: interrupt
  // once the first unit has received its write command.
  auto sawWrite = [&] {
    for (const std::string& line : sims_[0]->ReceivedLines()) {
      if (line.rfind("S ", 0) == 0) return true;
    }
    return false;
  };
  ASSERT_TRUE(WaitFor(sawWrite));
  ctl.Signal(SIGINT);
  const ToolResult r = ctl.Wait();
  EXPECT_EQ(r.exitCode, 130) << r.err;
  EXPECT_TRUE(Has(r.err, "中断しました")) << r.err;

  const std::vector<std::string> records = Lines(ReadFile(dir_ / "rec.jsonl"));
  EXPECT_EQ(records.size(), 3u);
  for (const std::string& record : records) {
    EXPECT_TRUE(Has(record, "\"outcome\":\"interrupted\"") || Has(record, "\"outcome\":\"ok\""))
        << record;
  }
  // Whole lines only, and the first unit got no read-back after its write.
  const std::vector<std::string> full = {"", "V", "R", "S 20 4 -1 500", "R"};
  for (const auto& sim : sims_) {
    const std::string bytes = sim->ReceivedBytes();
    EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) << bytes;
    const std::vector<std::string> lines = sim->ReceivedLines();
    ASSERT_LE(lines.size(), full.size());
    EXPECT_EQ(lines, std::vector<std::string>(full.begin(), full.begin() + lines.size()));
  }
  EXPECT_EQ(sims_[0]->ReceivedLines(), std::vector<std::string>(full.begin(), full.begin() + 4));
  bool unverifiedNoted = false;
  for (const std::string& record : records) {
    unverifiedNoted = unverifiedNoted ||
                      (Has(record, "\"port\":\"COM1\"") && Has(record, "書き込み後、読み戻しの前"));
  }
  EXPECT_TRUE(unverifiedNoted) << ReadFile(dir_ / "rec.jsonl");
}

// --all takes every port that answers the prompt; one that does not is not
// a failure.
TEST_F(CtlSimTest, AllTakesThePortsThatAnswer) {
  StartUnits({{}, {"--silent"}});
  const ToolResult r = Ctl({"info", "--all", "--pace", "fast", "--timeout", "100", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "\"port\":\"COM1\",\"device\":\"" + sims_[0]->DevicePath() +
                             "\",\"baud\":38400,\"pace\":\"fast\",\"version\":\"V1.02.03\""))
      << r.out;
  EXPECT_TRUE(Has(r.out, "\"port\":\"COM2\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"outcome\":\"skipped\"")) << r.out;
}

// zeta7-ports and "zeta7ctl ports" print one list: the mapped unit, its
// [ports] entry, and whether it opens.
TEST_F(CtlSimTest, PortListShowsTheMappedUnitAndWhoHoldsIt) {
  StartUnits({{}});
  const std::string device = sims_[0]->DevicePath();
  ToolResult ports = CToolProcess("zeta7-ports").Run({"--settings", settings()});
  EXPECT_EQ(ports.exitCode, 0);
  EXPECT_TRUE(Has(ports.out, "設定ファイル: " + settings() + "\n")) << ports.out;
  EXPECT_TRUE(Has(ports.out, "COM1  " + device + " ([ports] com1)\n      オープンできます\n"))
      << ports.out;

  CComPort holder;
  holder.SetComMap({{1, device}});
  ASSERT_EQ(holder.Open(1), 1);
  const ToolResult ctl = Ctl({"ports"});
  EXPECT_EQ(ctl.exitCode, 0);
  EXPECT_TRUE(Has(ctl.out, "他のプログラムが使用中です (pid " + std::to_string(getpid())))
      << ctl.out;
  EXPECT_EQ(CToolProcess("zeta7-ports").Run({"--settings", settings()}).out, ctl.out);
}

}  // namespace
