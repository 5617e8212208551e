// zeta7ctl end to end: the built program against several simulated units at
// once, each on its own pseudo-terminal, some with faults.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CComPort.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "ToolProcess.h"

namespace {

using Lines = std::vector<std::string>;

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The line of lines that names port, or "".
std::string RecordOf(const Lines& lines, const std::string& port) {
  for (const std::string& line : lines)
    if (Has(line, "\"port\":\"" + port + "\"")) return line;
  return "";
}

class CtlSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals (/dev/ptmx)";
    WriteFile(profile(), "[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n");
  }

  // Starts one unit per argument list; unit i is COMi+1 in the settings file.
  void StartUnits(const std::vector<Lines>& args) {
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

  ToolResult Ctl(Lines args) {
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
    const Lines records = SplitLines(r.out);
    ASSERT_EQ(records.size(), 5u) << r.out;
    EXPECT_TRUE(Has(RecordOf(records, "COM1"),
                    "\"after\":{\"channel\":20,\"id\":4,\"retry_count\":-1,\"retry_interval\":500},"
                    "\"outcome\":\"ok\""))
        << r.out;
    EXPECT_TRUE(Has(RecordOf(records, "COM5"), "\"outcome\":\"ok\"")) << r.out;
    EXPECT_TRUE(Has(RecordOf(records, "COM2"), "書き込みに失敗しました COM2")) << r.out;
    EXPECT_TRUE(Has(RecordOf(records, "COM2"), "読み戻した値が違います")) << r.out;
    EXPECT_TRUE(Has(RecordOf(records, "COM4"), "\\\"ok\\\"")) << r.out;
    EXPECT_TRUE(Has(r.err, "ZETA-7と通信できません COM3 (" + sims_[2]->DevicePath() + ")"))
        << r.err;
  }
  const ToolResult read = Ctl({"read", "-p", "COM1", "--pace", "fast"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_TRUE(Has(read.out, "チャネル 20, ID 4, 無限リトライ, リトライ間隔[msec] 500")) << read.out;
}

// Usage errors stop before anything reaches any unit.
TEST_F(CtlSimTest, UsageErrorsSendNothing) {
  StartUnits({{}});
  WriteFile(dir_ / "bad.ini", "[parameters]\nchannel=99\nid=4\nretry_count=5\nretry_interval=1\n");
  for (const Lines& args : std::vector<Lines>{
           {"write", "-p", "COM1", "-c", "47", "-i", "0", "-r", "0", "-t", "0"},
           {"apply", dir_ / "bad.ini", "-p", "COM1"},
           {"apply", dir_ / "none.ini", "-p", "COM1"},
           {"read", "-p", "COM1", "-p", "COM200"},
           {"read", "-p", "COM1", "-p", sims_[0]->DevicePath()},
       }) {
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
  EXPECT_EQ(Ctl({"save", "-p", "COM1", saved, "--pace", "fast"}).exitCode, 0);
  EXPECT_EQ(ReadFile(saved),
            "[parameters]\nchannel=12\nid=3\nretry_count=5\nretry_interval=1000\n");
  EXPECT_EQ(Ctl({"apply", saved, "-p", "COM1", "--pace", "fast"}).exitCode, 0);
}

// A port that cannot be opened says which device and who holds it, and the
// others go on; zeta7-ports and "zeta7ctl ports" print the same list.
TEST_F(CtlSimTest, HeldPortNamesItsHolderAndTheRestAreDone) {
  StartUnits({{}, {}});
  const std::string device = sims_[1]->DevicePath();
  const std::string heldBy = "他のプログラムが使用中です (pid " + std::to_string(getpid());
  ToolResult ports = CToolProcess("zeta7-ports").Run({"--settings", settings()});
  EXPECT_EQ(ports.exitCode, 0);
  EXPECT_TRUE(Has(ports.out, "設定ファイル: " + settings() + "\n")) << ports.out;
  EXPECT_TRUE(Has(ports.out, "COM2  " + device + " ([ports] com2)\n      オープンできます\n"))
      << ports.out;

  CComPort holder;
  holder.SetComMap({{1, device}});
  ASSERT_EQ(holder.Open(1), 1);
  const ToolResult r =
      Ctl({"read", "-p", "COM1", "-p", "COM2", "--pace", "fast", "--record", dir_ / "rec.jsonl"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "COM2がオープンできません。 " + device + " ([ports] com2): " + heldBy))
      << r.err;
  EXPECT_EQ(SplitLines(ReadFile(dir_ / "rec.jsonl")).size(), 2u);

  ports = Ctl({"ports"});
  EXPECT_EQ(ports.exitCode, 0);
  EXPECT_TRUE(Has(ports.out, heldBy)) << ports.out;
  EXPECT_EQ(CToolProcess("zeta7-ports").Run({"--settings", settings()}).out, ports.out);
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
  ASSERT_TRUE(WaitFor([&] {
    const Lines got = sims_[0]->ReceivedLines();
    return std::any_of(got.begin(), got.end(), [](auto& l) { return l.rfind("S ", 0) == 0; });
  }));
  ctl.Signal(SIGINT);
  const ToolResult r = ctl.Wait();
  EXPECT_EQ(r.exitCode, 130) << r.err;
  EXPECT_TRUE(Has(r.err, "中断しました")) << r.err;

  const Lines records = SplitLines(ReadFile(dir_ / "rec.jsonl"));
  EXPECT_EQ(records.size(), 3u);
  EXPECT_TRUE(Has(RecordOf(records, "COM1"), "書き込み後、読み戻しの前"))
      << RecordOf(records, "COM1");
  // Whole lines only, and the first unit got no read-back after its write.
  const Lines full = {"", "V", "R", "S 20 4 -1 500", "R"};
  for (const auto& sim : sims_) {
    const std::string bytes = sim->ReceivedBytes();
    EXPECT_TRUE(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) << bytes;
    const Lines lines = sim->ReceivedLines();
    ASSERT_LE(lines.size(), full.size());
    EXPECT_EQ(lines, Lines(full.begin(), full.begin() + lines.size()));
  }
  EXPECT_EQ(sims_[0]->ReceivedLines().size(), 4u);
}

// --all takes every port that answers the prompt; one that does not is not
// a failure.
TEST_F(CtlSimTest, AllTakesThePortsThatAnswer) {
  StartUnits({{}, {"--silent"}});
  const ToolResult r = Ctl({"info", "--all", "--pace", "fast", "--timeout", "100", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const Lines records = SplitLines(r.out);
  EXPECT_TRUE(Has(RecordOf(records, "COM1"), "\"device\":\"" + sims_[0]->DevicePath() +
                                                 "\",\"baud\":38400,\"pace\":\"fast\","
                                                 "\"version\":\"V1.02.03\""))
      << r.out;
  EXPECT_TRUE(Has(RecordOf(records, "COM2"), "\"outcome\":\"skipped\"")) << r.out;
}

}  // namespace
