// zeta7ctl end to end: the built program against several simulated units at
// once, each on its own pseudo-terminal, some with faults, and against a
// unit written apart from the simulator (FakeUnit.h). The programs see a
// device tree of the test's own ($ZETA7_DEVICE_ROOT): nothing of the
// machine's serial devices is listed, opened or sent to.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CComPort.h"
#include "CtlPlatform.h"
#include "FakeUnit.h"
#include "JsonLine.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "TestTerminal.h"
#include "ToolProcess.h"

namespace {

using Lines = std::vector<std::string>;
using Fault = CFakeUnit::Fault;
using nlohmann::json;

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
bool Has(const json& v, const std::string& part) {
  return v.is_string() && Has(v.get<std::string>(), part);
}

// Every line parsed; a line that is not strict JSON fails the test.
std::vector<json> Records(const std::string& text) {
  std::vector<json> records;
  for (const std::string& line : SplitLines(text)) {
    const std::optional<json> v = ParseJsonLine(line);
    EXPECT_TRUE(v.has_value()) << "not a JSON line: " << line;
    if (v) records.push_back(*v);
  }
  return records;
}

// The record of port, or a null value.
json RecordOf(const std::vector<json>& records, const std::string& port) {
  for (const json& r : records)
    if (r.value("port", "") == port) return r;
  return {};
}

std::string Params(const json& p) {
  if (!p.is_object()) return "null";
  auto n = [&](const char* k) { return std::to_string(p.value(k, 0)); };
  return n("channel") + " " + n("id") + " " + n("retry_count") + " " + n("retry_interval");
}

class CtlSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals (/dev/ptmx)";
    std::filesystem::create_directories(root_ / "sys/class/tty");
    std::filesystem::create_directories(root_ / "dev/serial/by-id");
    rootEnv_ = std::make_unique<CScopedEnv>("ZETA7_DEVICE_ROOT", root_.Path());
    // The numbers the tree's devices keep are this test's alone.
    configEnv_ = std::make_unique<CScopedEnv>("XDG_CONFIG_HOME", dir_ / "config");
    // The texts below are the Japanese ones; English is the default.
    languageEnv_ = std::make_unique<CScopedEnv>("LC_ALL", "ja_JP.UTF-8");
    WriteFile(profile(), "[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n");
  }

  // Starts one unit per argument list; unit i is COMi+1 in the settings file.
  testing::AssertionResult StartUnits(const std::vector<Lines>& args) {
    std::string ini = "[ports]\n";
    for (size_t i = 0; i < args.size(); ++i) {
      sims_.push_back(std::make_unique<CSimProcess>());
      if (!sims_.back()->Start(args[i])) {
        return testing::AssertionFailure() << "unit " << i << ": " << sims_.back()->Error();
      }
      ini += "com" + std::to_string(i + 1) + "=" + sims_.back()->DevicePath() + "\n";
    }
    WriteFile(settings(), ini);
    return testing::AssertionSuccess();
  }
  // A device the enumeration of the test's tree finds (ttyUSBn), leading to
  // the pseudo-terminal device, with a by-id link to it.
  void AddListedDevice(int n, const std::string& device) {
    const std::string name = "ttyUSB" + std::to_string(n);
    std::filesystem::create_directories(root_ / ("sys/class/tty/" + name));
    std::filesystem::create_symlink(device, root_ / ("dev/" + name));
    std::filesystem::create_symlink("../../" + name, ById(n));
  }
  std::string ById(int n) const {
    return root_ / ("dev/serial/by-id/usb-Test_Adapter_" + Serial(n) + "-if00-port0");
  }
  static std::string Serial(int n) { return "TS00" + std::to_string(n); }
  std::string settings() const { return dir_ / "settings.ini"; }
  std::string profile() const { return dir_ / "unit.ini"; }

  ToolResult Ctl(Lines args, const std::string& stdoutPath = "",
                 const std::string& stdinPath = "") {
    args.insert(args.begin() + 1, {"--settings", settings()});
    return CToolProcess("zeta7ctl").Run(args, stdoutPath, stdinPath);
  }

  CTempDir dir_;
  CTempDir root_;
  std::unique_ptr<CScopedEnv> rootEnv_;
  std::unique_ptr<CScopedEnv> configEnv_;
  std::unique_ptr<CScopedEnv> languageEnv_;
  std::vector<std::unique_ptr<CSimProcess>> sims_;
};

int CountSent(const Lines& lines) {
  return static_cast<int>(
      std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == 'S'; }));
}

// Each unit gets its own record, outcome and error code; verify catches a
// unit that says "OK" and keeps its old values. A unit that already holds
// the values gets no "S" unless forced; --check sends none and says what
// would change.
TEST_F(CtlSimTest, ApplyRecordsEveryUnitWithItsOutcome) {
  ASSERT_TRUE(StartUnits({{}, {"--no-store"}, {"--silent"}, {"--lower-ok"}, {"--r18"}}));
  for (const char* pace : {"fast", "fixed"}) {
    const bool forced = std::string(pace) == "fixed";
    Lines args = {"apply", profile(), "-p", "COM1", "-p",     "COM2",   "-p", "COM3",
                  "-p",    "COM4",    "-p", "COM5", "--json", "--pace", pace};
    if (forced) args.push_back("--force");
    const ToolResult r = Ctl(args);
    EXPECT_EQ(r.exitCode, 1) << pace << r.err;
    std::vector<json> records = Records(r.out);
    ASSERT_EQ(records.size(), 5u) << r.out;
    json ok = RecordOf(records, "COM1");
    EXPECT_EQ(Params(ok["after"]), "20 4 -1 500");
    EXPECT_EQ(ok["outcome"], "ok");
    EXPECT_EQ(ok["unit_state"], "verified");
    EXPECT_TRUE(ok["error_code"].is_null());
    EXPECT_EQ(ok["write_sent"], true);
    EXPECT_EQ(ok["changed"], !forced);  // forced: it held the values already
    EXPECT_EQ(RecordOf(records, "COM5")["outcome"], "ok");
    json noStore = RecordOf(records, "COM2");
    EXPECT_TRUE(Has(noStore["error"], "書き込みに失敗しました COM2")) << r.out;
    EXPECT_TRUE(Has(noStore["error"], "読み戻した値が違います")) << r.out;
    EXPECT_EQ(noStore["unit_state"], "differs");
    EXPECT_EQ(noStore["error_code"], "verify_mismatch");
    EXPECT_EQ(noStore["changed"], false);
    EXPECT_TRUE(Has(RecordOf(records, "COM4")["error"], "\"ok\"")) << r.out;
    EXPECT_EQ(RecordOf(records, "COM4")["error_code"], "rejected");
    EXPECT_EQ(RecordOf(records, "COM3")["unit_state"], "unchanged");
    EXPECT_EQ(RecordOf(records, "COM3")["error_code"], "no_answer");
    EXPECT_TRUE(Has(r.err, "ZETA-7と通信できません COM3 (" + sims_[2]->DevicePath() + ")"))
        << r.err;
    // Forced, both units held the values already.
    EXPECT_TRUE(Has(r.err, forced ? "zeta7ctl: 完了 2 (変更 0, 変更なし 2), 失敗 3, 対象外 0\n"
                                  : "zeta7ctl: 完了 2 (変更 2, 変更なし 0), 失敗 3, 対象外 0\n"))
        << r.err;
    // In the order of the ports, though the silent COM3 ended last.
    for (size_t i = 0; i < records.size(); ++i) {
      EXPECT_EQ(records[i]["port"], "COM" + std::to_string(i + 1)) << r.out;
    }
  }
  const int sent = CountSent(sims_[0]->ReceivedLines()) + CountSent(sims_[1]->ReceivedLines());
  ToolResult r = Ctl({"apply", profile(), "-p", "COM1", "-p", "COM2", "--pace", "fast", "--check",
                      "--diff", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<json> records = Records(r.out);
  ASSERT_EQ(records.size(), 2u) << r.out;
  EXPECT_EQ(RecordOf(records, "COM1")["changed"], false);
  EXPECT_TRUE(RecordOf(records, "COM1")["diff"].empty()) << r.out;
  json would = RecordOf(records, "COM2");
  EXPECT_EQ(would["changed"], true) << r.out;
  EXPECT_EQ(would["check"], true) << r.out;
  EXPECT_EQ(would["diff"]["channel"]["before"], 12) << r.out;
  EXPECT_EQ(would["diff"]["channel"]["after"], 20) << r.out;
  EXPECT_EQ(would["diff"].size(), 4u) << r.out;
  EXPECT_TRUE(Has(r.err, "(変更 1, 変更なし 1)")) << r.err;
  // As git diff --exit-code: 3 while a change is pending, 0 once none is.
  r = Ctl(
      {"apply", profile(), "-p", "COM2", "-p", "COM1", "--pace", "fast", "--check", "--exit-code"});
  EXPECT_EQ(r.exitCode, 3) << r.err;
  EXPECT_LT(r.out.find("COM2"), r.out.find("COM1")) << r.out;
  EXPECT_EQ(
      Ctl({"apply", profile(), "-p", "COM1", "--pace", "fast", "--check", "--exit-code"}).exitCode,
      0);
  r = Ctl({"apply", profile(), "-p", "COM1", "--pace", "fast", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  records = Records(r.out);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["changed"], false) << r.out;
  EXPECT_EQ(records[0]["write_sent"], false) << r.out;
  r = Ctl({"write", "-p", "COM2", "-c", "20", "-i", "4", "-r", "infinite", "-t", "500", "--check",
           "--diff"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "変更あり (--check): チャネル 12 → 20, ID 3 → 4, リトライ回数 5 → 無限"))
      << r.out;
  EXPECT_EQ(CountSent(sims_[0]->ReceivedLines()) + CountSent(sims_[1]->ReceivedLines()), sent);

  const ToolResult read = Ctl({"read", "-p", "COM1", "--pace", "fast"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_TRUE(Has(read.out, "チャネル 20, ID 4, 無限リトライ, リトライ間隔[msec] 500")) << read.out;
}

// Usage errors stop before anything reaches any unit: among them a settings
// file that cannot be read, without which COM1 would be the first device
// listed, and a named port whose device is not there.
TEST_F(CtlSimTest, UsageErrorsSendNothing) {
  ASSERT_TRUE(StartUnits({{}}));
  AddListedDevice(0, sims_[0]->DevicePath());
  WriteFile(dir_ / "bad.ini", "[parameters]\nchannel=99\nid=4\nretry_count=5\nretry_interval=1\n");
  WriteFile(dir_ / "stale.ini", "[ports]\ncom1=" + ById(7) + "\n");
  std::filesystem::create_directory(dir_ / "folder.ini");
  ASSERT_EQ(mkfifo((dir_ / "fifo.ini").c_str(), 0600), 0);
  std::filesystem::resize_file(
      (WriteFile(dir_ / "huge.ini", "[ports]\n"), FsPath(dir_ / "huge.ini")), 65u * 1024 * 1024);
  const std::string program = std::string(
      "\x7f"
      "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
      16);
  WriteFile(dir_ / "program", program);
  WriteFile(dir_ / "ro.jsonl", "");
  ASSERT_EQ(chmod((dir_ / "ro.jsonl").c_str(), 0444), 0);
  std::filesystem::create_symlink(FsPath(dir_ / "ro.jsonl"), FsPath(dir_ / "ro-link.jsonl"));
  const struct {
    Lines args;
    std::string error;
  } cases[] = {
      {{"write", "-p", "COM1", "-c", "47", "-i", "0", "-r", "0", "-t", "0"}, "channel = 47"},
      {{"apply", dir_ / "bad.ini", "-p", "COM1"}, "channel = 99"},
      {{"apply", dir_ / "none.ini", "-p", "COM1"}, "プロファイルがありません"},
      {{"read", "-p", "COM1", "-p", "COM200"}, "COM200がオープンできません。"},
      {{"read", "-p", "COM1", "-p", sims_[0]->DevicePath()}, "二度指定されています"},
      {{"read", "-p", dir_ / "ttyUSB99"}, "デバイスがありません"},
      {{"read", "--settings", dir_ / "stale.ini", "-p", "COM1"}, "COM1がオープンできません。"},
      {{"read", "--settings", dir_ / "typo.ini", "-p", "COM1"}, "設定ファイルがありません"},
      {{"read", "--settings", dir_ / "folder.ini", "-p", "COM1"}, "ディレクトリです"},
      {{"read", "--settings", dir_ / "fifo.ini", "-p", "COM1"}, "通常のファイルではありません"},
      {{"read", "--settings", dir_ / "huge.ini", "-p", "COM1"}, "大きすぎます"},
      {{"ports", "--settings", dir_ / "typo.ini"}, "設定ファイルがありません"},
      {{"save", "-p", "COM1", dir_ / "program"}, "テキストの INI ファイルではない"},
      {{"save", "-p", "COM1", dir_ / "folder.ini"}, "ディレクトリです"},
      {{"save", "-p", "COM1", dir_ / "no/such/unit.ini"}, "フォルダがありません"},
      {{"apply", dir_ / "huge.ini", "-p", "COM1"}, "大きすぎます"},
      // Files the user names for the output: a FIFO nobody reads would hang
      // the batch; a file without a write bit stays unwritten, root or not,
      // through a link too; each says the system's reason.
      {{"read", "-p", "COM1", "--record", dir_ / "fifo.ini"},
       "記録ファイルを開けません: " + dir_ / "fifo.ini" + " (読む側のいない FIFO です)"},
      {{"read", "-p", "COM1", "--trace", dir_ / "fifo.ini"},
       "トレースのファイルを開けません: " + dir_ / "fifo.ini" + " (読む側のいない FIFO です)"},
      {{"read", "-p", "COM1", "--record", dir_ / "ro-link.jsonl"}, "Permission denied"},
      {{"read", "-p", "COM1", "--record", dir_ / "folder.ini"}, "Is a directory"},
      {{"read", "-p", "COM1", "--record", dir_ / "program/x.jsonl"}, "フォルダを作れません ("},
      {{"read", "-p", "COM1", "--settings", ""}, "--settings のファイル名が空です"},
  };
  for (const auto& c : cases) {
    Lines args = c.args;
    // The case's own --settings comes last and wins.
    const ToolResult r = Ctl(args);
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args) << r.err;
    EXPECT_TRUE(Has(r.err, c.error)) << testing::PrintToString(args) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(sims_[0]->ReceivedBytes(), "");
  EXPECT_EQ(ReadFile(dir_ / "program"), program);
  EXPECT_EQ(ReadFile(dir_ / "ro.jsonl"), "");
}

// A record in a folder not made yet is made there, as a trace's folder is.
TEST_F(CtlSimTest, RecordMakesItsFolder) {
  ASSERT_TRUE(StartUnits({{}}));
  const std::string record = dir_ / "var/log/zeta7/units.jsonl";
  const ToolResult r = Ctl({"info", "-p", "COM1", "--pace", "fast", "--record", record});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Records(ReadFile(record)).size(), 1u);
}

// save writes a new file or, for "-", standard output; apply reads "-" from
// standard input; a unit's values that a profile may not hold are saved with
// a warning.
TEST_F(CtlSimTest, SaveAndApplyThroughTheStandardStreams) {
  ASSERT_TRUE(StartUnits({{}, {"--channel", "99"}}));
  const std::string saved = "[parameters]\nchannel=12\nid=3\nretry_count=5\nretry_interval=1000\n";
  ToolResult r = Ctl({"save", "-p", "COM1", "-", "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, saved);
  EXPECT_FALSE(std::filesystem::exists(FsPath("-")));
  r = Ctl({"save", "-p", "COM1", dir_ / "saved.ini", "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(dir_ / "saved.ini"), saved);

  r = Ctl({"apply", "-", "-p", "COM1", "--pace", "fast"}, "", profile());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "チャネル 20, ID 4, 無限リトライ")) << r.out;

  r = Ctl({"save", "-p", "COM2", dir_ / "odd.ini", "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "警告: COM2 の値はプロファイルの範囲外です")) << r.err;
  EXPECT_TRUE(Has(ReadFile(dir_ / "odd.ini"), "channel=99\n"));
}

// Bytes that are not the prompt say that bytes came and point at -b; the
// independent unit talks noise here.
TEST_F(CtlSimTest, NoiseIsNotSilence) {
  CFakeUnit noisy;
  ASSERT_TRUE(noisy.Ok());
  noisy.SetFault('\0', Fault::kNoise);
  WriteFile(settings(), "[ports]\ncom1=" + noisy.Device() + "\n");
  const ToolResult r = Ctl({"info", "-p", "COM1", "--pace", "fast", "--timeout", "200"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "7 バイト届きましたが応答になっていません")) << r.err;
  EXPECT_TRUE(Has(r.err, "-b で指定")) << r.err;
}

// info and read give the window's verdicts.
TEST_F(CtlSimTest, InfoReadAndSaveFollowTheWindowsRules) {
  ASSERT_TRUE(StartUnits(
      {{"--unit-version", "V9.9"}, {"--wrong-prompt"}, {"--lower-v"}, {"--r19"}, {"--nul"}}));
  ToolResult r =
      Ctl({"info", "-p", "COM1", "-p", "COM2", "-p", "COM3", "--pace", "fast", "--timeout", "200"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.out, "COM1 (" + sims_[0]->DevicePath() + "): ファームウェアバージョン V9.9"))
      << r.out;
  EXPECT_TRUE(Has(r.err, "ZETA-7と通信できません COM2")) << r.err;
  EXPECT_TRUE(Has(r.err, "プロンプト \"ZETA7> \"")) << r.err;
  EXPECT_TRUE(Has(r.err, "ZETA-7との通信が不正です COM3")) << r.err;

  // 19 characters is a wrong length; 18 with a NUL in them is the right
  // length cut short, and says so.
  r = Ctl({"read", "-p", "COM4", "-p", "COM5", "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "受信データが不正です COM4")) << r.err;
  EXPECT_TRUE(Has(r.err, "(19 文字; 4つの値で 17 か 18 文字が正)")) << r.err;
  EXPECT_TRUE(Has(r.err, "(18 文字ですが4つの値が揃っていません; 9 文字目の NUL で切れています)"))
      << r.err;
}

// A port that cannot be opened says which device and who holds it, and the
// others go on; zeta7-ports and "zeta7ctl ports" print the same list.
TEST_F(CtlSimTest, HeldPortNamesItsHolderAndTheRestAreDone) {
  ASSERT_TRUE(StartUnits({{}, {}}));
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
  EXPECT_EQ(Records(ReadFile(dir_ / "rec.jsonl")).size(), 2u);

  ports = Ctl({"ports"});
  EXPECT_EQ(ports.exitCode, 0);
  EXPECT_TRUE(Has(ports.out, heldBy)) << ports.out;
  EXPECT_EQ(CToolProcess("zeta7-ports").Run({"--settings", settings()}).out, ports.out);
}

// A port that another program holds in exclusive mode (as terminal
// programs set it, with no lock) is reported and left alone, even by root,
// who could open it: nothing is sent, and its exclusive mode stays set.
TEST_F(CtlSimTest, ExclusivePortOfAnotherProgramIsLeftAsItWas) {
  // A line of the test's own: the simulator clears the mode on its side.
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const std::string device = ptsname(master);
  WriteFile(settings(), "[ports]\n");
  const int other = open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  const struct {
    Lines args;
    int exitCode;
  } cases[] = {{{"info", "-p", device, "--json"}, 1},
               {{"read", "-p", device, "--pace", "fast", "--json"}, 1},
               {{"scan", "-p", device, "--json"}, 0}};
  for (const auto& c : cases) {
    const ToolResult r = Ctl(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << testing::PrintToString(c.args) << r.err;
    const std::vector<json> records = Records(r.out);
    ASSERT_EQ(records.size(), 1u) << r.out;
    EXPECT_EQ(records[0]["error_code"], "open_busy") << r.out;
    EXPECT_TRUE(Has(records[0]["error"], "他のプログラムが使用中です")) << r.out;
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << testing::PrintToString(c.args);
  }
  char byte;
  EXPECT_EQ(read(master, &byte, 1), -1);  // nothing was sent
  ioctl(other, TIOCNXCL);
  close(other);
  close(master);
}

// Ctrl+C, termination and hang-up in the middle, against the independent
// unit: the exchange in flight ends, nothing new is sent, every unit has its
// record, the exit code is 128 + the signal. The first unit holds its "OK"
// until the program has acknowledged the signal.
TEST_F(CtlSimTest, InterruptFinishesTheExchangesInFlightAndRecordsEveryUnit) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    CFakeUnit held, other1, other2;
    ASSERT_TRUE(held.Ok() && other1.Ok() && other2.Ok());
    held.SetFault('S', Fault::kHeld);
    WriteFile(settings(), "[ports]\ncom1=" + held.Device() + "\ncom2=" + other1.Device() +
                              "\ncom3=" + other2.Device() + "\n");
    const std::string record = dir_ / ("rec-" + std::to_string(sig) + ".jsonl");
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(
        ctl.Start({"apply", "--settings", settings(), profile(), "-p", "COM1", "-p", "COM2", "-p",
                   "COM3", "--record", record, "--pace", "fast", "--timeout", "60000"}));
    ASSERT_TRUE(held.WaitForLine("S "));
    ctl.Signal(sig);
    ASSERT_TRUE(WaitFor([&] { return Has(ctl.Err(), "中断します"); }));
    held.Release();
    const ToolResult r = ctl.Wait();
    EXPECT_EQ(r.exitCode, 128 + sig) << r.err;
    EXPECT_TRUE(Has(r.err, "中断しました")) << r.err;

    std::vector<json> records = Records(ReadFile(record));
    EXPECT_EQ(records.size(), 3u);
    json first = RecordOf(records, "COM1");
    EXPECT_EQ(first["outcome"], "interrupted");
    EXPECT_TRUE(Has(first["error"], "書き込み後、読み戻しの前")) << first["error"];
    EXPECT_EQ(first["ok_received"], true);
    EXPECT_EQ(first["unit_state"], "unknown");
    // The held unit got no read-back after its write.
    EXPECT_EQ(held.Lines(), (Lines{"", "V", "R", "S 20 4 -1 500"}));
  }
}

// A second Ctrl+C gives up the waits in flight: a unit stuck after its echo
// with a 60 s time-out is interrupted at once and its record written; one
// stuck after its "S" line is recorded as written, its state unknown.
TEST_F(CtlSimTest, SecondInterruptGivesUpTheWaits) {
  const struct {
    char stuck;
    Lines args;
    bool writeSent;
    const char* state;
  } cases[] = {
      {'R', {"read"}, false, "unchanged"},
      {'S', {"apply", profile()}, true, "unknown"},
  };
  for (const auto& c : cases) {
    CFakeUnit stuck;
    ASSERT_TRUE(stuck.Ok());
    stuck.SetFault(c.stuck, Fault::kStuckAfterEcho);
    WriteFile(settings(), "[ports]\ncom1=" + stuck.Device() + "\n");
    const std::string record = dir_ / (std::string(1, c.stuck) + ".jsonl");
    Lines args = c.args;
    args.insert(args.end(), {"--settings", settings(), "-p", "COM1", "--pace", "fast", "--timeout",
                             "60000", "--record", record});
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(ctl.Start(args));
    ASSERT_TRUE(stuck.WaitForLine(std::string(1, c.stuck)));
    ctl.Signal(SIGINT);
    ASSERT_TRUE(WaitFor([&] { return Has(ctl.Err(), "中断します"); }));
    EXPECT_TRUE(ctl.Running());  // the first one waits for the exchange in flight
    ctl.Signal(SIGINT);
    const ToolResult r = ctl.Wait(20000);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    std::vector<json> records = Records(ReadFile(record));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["outcome"], "interrupted");
    EXPECT_EQ(records[0]["error_code"], "interrupted");
    EXPECT_EQ(records[0]["write_sent"], c.writeSent);
    EXPECT_EQ(records[0]["unit_state"], c.state);
  }
}

// Each record reaches the file as its unit ends, while the others still
// run, so a killed batch keeps every finished unit's record.
TEST_F(CtlSimTest, RecordsReachTheFileAsEachUnitEnds) {
  CFakeUnit sound, stuck;
  ASSERT_TRUE(sound.Ok() && stuck.Ok());
  stuck.SetFault('V', Fault::kStuckAfterEcho);
  WriteFile(settings(), "[ports]\ncom1=" + sound.Device() + "\ncom2=" + stuck.Device() + "\n");
  const std::string record = dir_ / "rec.jsonl";
  const std::string out = dir_ / "out.jsonl";
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(ctl.Start({"info", "--settings", settings(), "-p", "COM1", "-p", "COM2", "--pace",
                         "fast", "--timeout", "60000", "--record", record, "--json"},
                        out));
  // The stuck unit holds the batch open for a minute: whatever is in the
  // files before then was written as its unit ended, not at the end.
  ASSERT_TRUE(stuck.WaitForLine("V"));
  const bool both =
      WaitFor([&] { return Has(ReadFile(record), "\n") && Has(ReadFile(out), "\n"); });
  EXPECT_TRUE(ctl.Running());
  ctl.Signal(SIGKILL);
  ctl.Wait();
  ASSERT_TRUE(both) << "record: " << ReadFile(record) << "\nstdout: " << ReadFile(out);
  for (const std::string& file : {record, out}) {
    std::vector<json> records = Records(ReadFile(file));
    ASSERT_EQ(records.size(), 1u) << file;
    EXPECT_EQ(records[0]["port"], "COM1");
    EXPECT_EQ(records[0]["version"], "V2.00");
  }
}

// The progress line goes to standard error only while that is a terminal
// that can move its cursor, never among the JSON lines on standard output;
// its last counts are the summary's, an interrupted unit not among the
// failed ones.
TEST_F(CtlSimTest, ProgressOnlyOnATerminalAndAsTheSummaryCounts) {
  const struct {
    const char* term;
    bool terminal;
    bool shown;
  } cases[] = {{"xterm", true, true}, {"dumb", true, false}, {"xterm", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.term) + (c.terminal ? " terminal" : " file"));
    CFakeUnit held, sound, refusing;
    ASSERT_TRUE(held.Ok() && sound.Ok() && refusing.Ok());
    held.SetFault('S', Fault::kHeld);
    refusing.SetFault('S', Fault::kNg);
    WriteFile(settings(), "[ports]\ncom1=" + held.Device() + "\ncom2=" + sound.Device() +
                              "\ncom3=" + refusing.Device() + "\n");
    CScopedEnv term("TERM", std::string(c.term));
    CTerminal tty;
    ASSERT_TRUE(tty.Ok());
    const std::string record = dir_ / ("rec-" + std::string(c.term) + ".jsonl");
    std::filesystem::remove(record);
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(
        ctl.Start({"apply", "--settings", settings(), profile(), "-p", "COM1", "-p", "COM2", "-p",
                   "COM3", "--json", "--record", record, "--pace", "fast", "--timeout", "60000"},
                  "", "", c.terminal ? tty.Device() : ""));
    auto err = [&] { return c.terminal ? tty.Text() : ctl.Err(); };
    ASSERT_TRUE(held.WaitForLine("S "));
    ASSERT_TRUE(WaitFor([&] { return SplitLines(ReadFile(record)).size() == 2; }));
    ctl.Signal(SIGINT);
    ASSERT_TRUE(WaitFor([&] { return Has(err(), "中断します"); }));
    held.Release();
    const ToolResult r = ctl.Wait();
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_EQ(Records(r.out).size(), 3u) << r.out;
    EXPECT_FALSE(Has(r.out, "\r")) << r.out;
    // The whole summary line, not the interrupted unit's, which also ends in ")".
    const std::regex summaryLine("中断しました \\((.*)\\)\n");
    ASSERT_TRUE(WaitFor([&] { return std::regex_search(err(), summaryLine); })) << err();
    const std::string text = err();
    std::smatch summary;
    ASSERT_TRUE(std::regex_search(text, summary, summaryLine)) << text;
    EXPECT_EQ(summary[1].str(), "完了 1 (変更 1, 変更なし 0), 失敗 1, 対象外 0, 中断 1");
    const std::regex progress("\r\\d+/3 台  (.*?)  経過 [0-9.]+ 秒\x1b\\[K");
    std::string last;
    for (std::sregex_iterator it(text.begin(), text.end(), progress), end; it != end; ++it) {
      last = (*it)[1].str();
    }
    if (c.shown) {
      EXPECT_EQ(last, summary[1].str()) << text;
    } else {
      EXPECT_EQ(last, "") << text;
      EXPECT_FALSE(Has(text, "\x1b[K")) << text;
    }
  }
}

// Output that cannot be written is an error exit with the reason, though
// the units' work is done.
TEST_F(CtlSimTest, LostOutputIsAnError) {
  ASSERT_TRUE(StartUnits({{}, {}}));
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const Lines two = {"read", "-p", "COM1", "-p", "COM2", "--pace", "fast"};
  const struct {
    Lines extra;
    std::string stdoutPath;
    const char* error;
  } cases[] = {
      {{"--record", "/dev/full"},
       "",
       "記録ファイルに書けません: /dev/full (No space left on device; 2 台分"},
      {{"--json"}, "/dev/full", "標準出力に書けません"},
      {{}, "/dev/full", "標準出力に書けません"},
      {{"--json"}, "-", "標準出力に書けません"},
  };
  for (const auto& c : cases) {
    Lines args = two;
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ToolResult r = Ctl(args, c.stdoutPath);
    EXPECT_EQ(r.exitCode, 1) << testing::PrintToString(args) << r.err;
    EXPECT_TRUE(Has(r.err, c.error)) << testing::PrintToString(args) << r.err;
  }
}

// A record line that does not fit the file is taken back whole: a file
// size limit stands in for a full disk.
TEST(CtlRecordFileTest, ALineGoesInWholeOrNotAtAll) {
  CTempDir dir;
  const std::string path = dir / "rec.jsonl";
  WriteFile(path, "{\"a\":1}\n");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  CRecordFile file;
  ASSERT_TRUE(file.Open(path));
  const bool shortFits = file.Append("{\"b\":2}\n");
  const bool longFits = file.Append("{\"c\":\"" + std::string(200, 'x') + "\"}\n");
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_TRUE(shortFits);
  EXPECT_FALSE(longFits);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(ReadFile(path), "{\"a\":1}\n{\"b\":2}\n");
}

// After "S" the record tells what the unit may hold: against the
// independent unit, a hang-up on the S line, a store then hang-up, an OK
// then hang-up before the read-back, and a refusal.
TEST_F(CtlSimTest, TheRecordSaysWhatBecameOfTheWrite) {
  const struct {
    char command;
    Fault fault;
    bool writeSent;
    bool okReceived;
    const char* state;
    const char* error;
    const char* code;
  } cases[] = {
      {'S', Fault::kHangUp, true, false, "unknown", "\"OK\" の前", "state_unknown"},
      {'S', Fault::kStoreHangUp, true, false, "unknown", "\"OK\" の前", "state_unknown"},
      {'S', Fault::kHangUpAfterOk, true, true, "unknown", "読み戻しの前", "state_unknown"},
      {'S', Fault::kNg, true, false, "unknown", "\"NG\"", "rejected"},
      // Unplugged before the "S": a lost line, not bad data nor a wrong
      // speed, and nothing written.
      {'R', Fault::kHangUp, false, false, "unchanged", "回線が切れました", "hangup"},
      {'R', Fault::kCutReply, false, false, "unchanged", "回線が切れました", "hangup"},
  };
  for (const char* pace : {"fast", "fixed"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(pace) + " " + c.command + " " + c.code);
      CFakeUnit unit;
      ASSERT_TRUE(unit.Ok());
      unit.SetFault(c.command, c.fault);
      WriteFile(settings(), "[ports]\ncom1=" + unit.Device() + "\n");
      Lines args = {"apply", profile(), "-p", "COM1", "--json", "--pace", pace};
      if (std::string(pace) == "fast") args.insert(args.end(), {"--timeout", "300"});
      const ToolResult r = Ctl(args);
      EXPECT_EQ(r.exitCode, 1) << r.err;
      const std::vector<json> records = Records(r.out);
      ASSERT_EQ(records.size(), 1u) << r.out;
      EXPECT_EQ(records[0]["write_sent"], c.writeSent) << r.out;
      EXPECT_EQ(records[0]["ok_received"], c.okReceived) << r.out;
      EXPECT_EQ(records[0]["unit_state"], c.state) << r.out;
      EXPECT_TRUE(Has(records[0]["error"], c.error)) << records[0]["error"];
      EXPECT_FALSE(Has(records[0]["error"], "-b")) << records[0]["error"];
      EXPECT_EQ(records[0]["error_code"], c.code) << r.out;
      // As far as anyone can tell after an "S".
      EXPECT_EQ(records[0]["changed"], c.writeSent) << r.out;
    }
  }
}

// Ctrl+C while the units answer "R": nothing was written, and the records
// say so (no "S" went out, nothing changed).
TEST_F(CtlSimTest, InterruptBeforeTheWriteRecordsNoWrite) {
  CFakeUnit held, other;
  ASSERT_TRUE(held.Ok() && other.Ok());
  held.SetFault('R', Fault::kHeld);
  WriteFile(settings(), "[ports]\ncom1=" + held.Device() + "\ncom2=" + other.Device() + "\n");
  const std::string record = dir_ / "rec.jsonl";
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(ctl.Start({"apply", "--settings", settings(), profile(), "-p", "COM1", "-p", "COM2",
                         "--record", record, "--pace", "fast", "--timeout", "60000"}));
  ASSERT_TRUE(held.WaitForLine("R"));
  ctl.Signal(SIGINT);
  ASSERT_TRUE(WaitFor([&] { return Has(ctl.Err(), "中断します"); }));
  held.Release();
  const ToolResult r = ctl.Wait();
  EXPECT_EQ(r.exitCode, 130) << r.err;
  const json first = RecordOf(Records(ReadFile(record)), "COM1");
  EXPECT_EQ(first["outcome"], "interrupted") << ReadFile(record);
  EXPECT_EQ(first["error_code"], "interrupted");
  EXPECT_EQ(first["write_sent"], false);
  EXPECT_EQ(first["changed"], false);
  EXPECT_EQ(first["unit_state"], "unchanged");
  EXPECT_FALSE(Has(first["error"], "\"S\" は送信済み")) << first["error"];
  EXPECT_EQ(held.Lines(), (Lines{"", "V", "R"}));
}

// --all takes the devices listed and the [ports] map, a device once under
// the map's number; a port where nothing answers is skipped, one that
// answers wrongly or fails later is a failed unit.
TEST_F(CtlSimTest, AllTakesEveryUnitAndSkipsOnlySilentPorts) {
  ASSERT_TRUE(StartUnits({{}, {"--silent"}, {"--wrong-prompt"}, {"--no-store"}}));
  AddListedDevice(0, sims_[0]->DevicePath());
  AddListedDevice(1, sims_[1]->DevicePath());
  // The map names the first listed device by its by-id link, as COM7.
  WriteFile(settings(), "[ports]\ncom7=" + ById(0) + "\ncom3=" + sims_[2]->DevicePath() +
                            "\ncom4=" + sims_[3]->DevicePath() + "\n");
  ToolResult r = Ctl({"apply", profile(), "--all", "--pace", "fast", "--timeout", "100", "--json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  std::vector<json> records = Records(r.out);
  EXPECT_EQ(records.size(), 4u) << r.out;
  EXPECT_EQ(RecordOf(records, "COM7")["outcome"], "ok") << r.out;
  EXPECT_EQ(RecordOf(records, "COM7")["device"], ById(0));
  EXPECT_EQ(RecordOf(records, "COM2")["outcome"], "skipped") << r.out;
  EXPECT_EQ(RecordOf(records, "COM3")["outcome"], "failed") << r.out;
  EXPECT_EQ(RecordOf(records, "COM4")["outcome"], "failed") << r.out;
  EXPECT_TRUE(Has(r.err, "zeta7ctl: 完了 1 (変更 1, 変更なし 0), 失敗 2, 対象外 1\n")) << r.err;

  // No unit that answers: that is no success.
  WriteFile(settings(), "[ports]\ncom7=" + ById(1) + "\n");
  std::filesystem::remove(root_ / "dev/ttyUSB0");
  r = Ctl({"info", "--all", "--pace", "fast", "--timeout", "100"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.err, "応答するZETA-7がありません")) << r.err;
}

// A COM number stays with its unit: with COM2's unit unplugged, COM3's unit
// still answers as COM3, and COM2 fails naming its unit, with nothing sent
// to any unit. -p takes the adapter's serial number or its by-id name; a
// serial number that two ports share is refused.
TEST_F(CtlSimTest, NumbersStayWithTheirUnitsAndPortsGoBySerial) {
  ASSERT_TRUE(StartUnits({{}, {}, {}}));
  WriteFile(settings(), "");
  for (int i = 0; i < 3; ++i) AddListedDevice(i, sims_[i]->DevicePath());
  ToolResult r =
      Ctl({"read", "-p", "COM1", "-p", "COM2", "-p", "COM3", "--pace", "fast", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;

  std::filesystem::remove_all(root_ / "sys/class/tty/ttyUSB1");
  std::filesystem::remove(root_ / "dev/ttyUSB1");
  std::filesystem::remove(ById(1));
  const size_t heard[] = {sims_[0]->ReceivedBytes().size(), sims_[1]->ReceivedBytes().size()};
  r = Ctl({"read", "-p", "COM2", "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_TRUE(Has(r.err, ById(1) + ": デバイスがありません (存在するデバイス: COM1=")) << r.err;
  r = Ctl({"read", "-p", "COM3", "--pace", "fast", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<json> records = Records(r.out);
  ASSERT_EQ(records.size(), 1u) << r.out;
  EXPECT_EQ(records[0]["device"], root_ / "dev/ttyUSB2");
  EXPECT_EQ(sims_[0]->ReceivedBytes().size(), heard[0]);
  EXPECT_EQ(sims_[1]->ReceivedBytes().size(), heard[1]);

  r = Ctl({"read", "-p", Serial(2), "-p", "usb-Test_Adapter_TS000-if00-port0", "--pace", "fast",
           "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  records = Records(r.out);
  EXPECT_EQ(RecordOf(records, Serial(2))["device"], ById(2)) << r.out;
  EXPECT_EQ(RecordOf(records, "usb-Test_Adapter_TS000-if00-port0")["outcome"], "ok") << r.out;
  // A second interface with the same serial number: which one is not said.
  std::filesystem::create_symlink("../../ttyUSB0",
                                  root_ / "dev/serial/by-id/usb-Test_Adapter_TS002-if01-port0");
  for (const char* name : {"TS002", "COM300"}) {
    r = Ctl({"read", "-p", name, "--pace", "fast"});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_TRUE(Has(r.err, name == std::string("TS002")
                               ? "シリアル番号 TS002 のポートが 2 つあります"
                               : "ポート名が不正です: COM300"))
        << r.err;
  }
}

// zeta7-ports lists a remembered number whose unit is away, says which
// numbers are remembered, forgets one on request, and says a damaged file.
TEST_F(CtlSimTest, PortListShowsRememberedNumbersAndForgetsOne) {
  ASSERT_TRUE(StartUnits({{}, {}}));
  WriteFile(settings(), "");
  AddListedDevice(0, sims_[0]->DevicePath());
  AddListedDevice(1, sims_[1]->DevicePath());
  const std::string numbers = dir_ / "config/Quillbeck/ZETA-7/com-numbers.conf";
  auto ports = [&](const Lines& args) {
    return CToolProcess("zeta7-ports").Run(args.empty() ? Lines{"--settings", settings()} : args);
  };
  EXPECT_EQ(ports({}).exitCode, 0);
  std::filesystem::remove(root_ / "dev/ttyUSB0");
  std::filesystem::remove(ById(0));
  ToolResult r = ports({});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& part :
       {"COM番号の記憶: " + numbers + "\nCOM1  " + ById(0) +
            "\n      番号: usb-Test_Adapter_TS000-if00-port0 に記憶されています\n      "
            "デバイスがありません",
        "COM2  " + (root_ / "dev/ttyUSB1") + "\n      by-id: " + ById(1)}) {
    EXPECT_TRUE(Has(r.out, part)) << part << "\n" << r.out;
  }
  r = ports({"--forget", "com1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "COM1 の記憶を消しました (usb-Test_Adapter_TS000-if00-port0)\n");
  EXPECT_FALSE(Has(ReadFile(numbers), "TS000")) << ReadFile(numbers);
  r = ports({"--forget", "COM1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "COM1 は記憶されていません")) << r.err;
  EXPECT_EQ(ports({"--forget", "COM0"}).exitCode, 2);

  WriteFile(numbers, ReadFile(numbers) + "COM9\n");
  r = ports({});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "COM番号の記憶ファイルが壊れています: " + numbers)) << r.err;
  EXPECT_TRUE(Has(r.out, "番号なし  " + (root_ / "dev/ttyUSB1"))) << r.out;
}

// A plan gives each unit its own values, the port by COM name, device path
// or the adapter's serial number; a plan with faults is refused whole, each
// bad row named by its line, before anything is sent.
TEST_F(CtlSimTest, PlanGivesEachUnitItsValuesOrIsRefusedWhole) {
  ASSERT_TRUE(StartUnits({{}, {}, {}}));
  AddListedDevice(0, sims_[2]->DevicePath());
  const std::string plan = dir_ / "units.csv";
  WriteFile(plan,
            "\xEF\xBB\xBFid,port,channel,retry_interval,retry_count\r\n"
            "1,COM1,7,0,0\r\n"
            "2,\"" +
                sims_[1]->DevicePath() +
                "\",46,32767,infinite\r\n"
                "3," +
                Serial(0) + ",30,100,10000\r\n\r\n");
  ToolResult r = Ctl({"apply", "--plan", plan, "--pace", "fast", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<json> records = Records(r.out);
  ASSERT_EQ(records.size(), 3u) << r.out;
  EXPECT_EQ(Params(RecordOf(records, "COM1")["after"]), "7 1 0 0");
  EXPECT_EQ(Params(RecordOf(records, sims_[1]->DevicePath())["after"]), "46 2 -1 32767");
  EXPECT_EQ(Params(RecordOf(records, Serial(0))["after"]), "30 3 10000 100");
  EXPECT_EQ(RecordOf(records, Serial(0))["device"], ById(0));

  WriteFile(plan,
            "port,channel,id,retry_count,retry_interval\n"
            "COM1,7,1,0,0\n"
            "COM2,99,1,0,0\n"
            "\n"
            "NOSUCH,7,1,0,0\n"
            "\"" +
                sims_[0]->DevicePath() +
                "\",7,1,0,0\n"
                "COM3,7,,0,0\n");
  const int before = static_cast<int>(sims_[0]->ReceivedBytes().size());
  r = Ctl({"apply", "--plan", plan, "--pace", "fast"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  for (const std::string& e :
       {plan + " 3 行目: 値が有効範囲を超えています: channel = 99",
        plan + " 5 行目: シリアル番号 NOSUCH の USB アダプタがありません",
        plan + " 6 行目: " + sims_[0]->DevicePath() + " は 2 行目と同じデバイスです",
        plan + " 7 行目: id がありません", std::string("何も送信しません (4 か所)")}) {
    EXPECT_TRUE(Has(r.err, e)) << e << "\n" << r.err;
  }
  EXPECT_EQ(static_cast<int>(sims_[0]->ReceivedBytes().size()), before);
  EXPECT_EQ(sims_[1]->ReceivedBytes().find("S 99"), std::string::npos);
}

// scan finds each unit at its own speed, ports in parallel, with its
// adapter's serial number; a port another program holds is reported and
// left alone, a silent one is skipped.
TEST_F(CtlSimTest, ScanFindsEachUnitAtItsSpeedAndLeavesHeldPortsAlone) {
  ASSERT_TRUE(StartUnits({{}, {"--unit-baud", "4800"}, {"--silent"}, {}}));
  AddListedDevice(0, sims_[1]->DevicePath());
  // The listed device is COM1; the map gives the rest.
  WriteFile(settings(), "[ports]\ncom5=" + sims_[0]->DevicePath() + "\ncom3=" +
                            sims_[2]->DevicePath() + "\ncom4=" + sims_[3]->DevicePath() + "\n");
  CComPort holder;
  holder.SetComMap({{1, sims_[3]->DevicePath()}});
  ASSERT_EQ(holder.Open(1), 1);
  const ToolResult r = Ctl({"scan", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::vector<json> records = Records(r.out);
  ASSERT_EQ(records.size(), 4u) << r.out;
  const struct {
    const char* port;
    const char* outcome;
    int baud;
    json code;
  } expected[] = {{"COM5", "ok", 38400, nullptr},
                  {"COM1", "ok", 4800, nullptr},
                  {"COM3", "skipped", 0, "no_answer"},
                  {"COM4", "failed", 38400, "open_busy"}};
  for (const auto& e : expected) {
    json u = RecordOf(records, e.port);
    EXPECT_EQ(u["outcome"], e.outcome) << e.port << r.out;
    EXPECT_EQ(u["baud"], e.baud) << e.port;
    EXPECT_EQ(u["error_code"], e.code) << e.port;
  }
  EXPECT_EQ(RecordOf(records, "COM1")["usb_serial"], Serial(0));
  EXPECT_EQ(RecordOf(records, "COM1")["version"], "V1.02.03");
  EXPECT_EQ(sims_[3]->ReceivedBytes(), "");

  const ToolResult human = Ctl({"scan", "-p", "COM1"});
  EXPECT_EQ(human.exitCode, 0) << human.err;
  EXPECT_TRUE(Has(human.out,
                  "4800 bit/s, ファームウェアバージョン V1.02.03, USB シリアル番号 " + Serial(0)))
      << human.out;

  // The same in English, where the locale says nothing of Japanese.
  CScopedEnv english("LC_ALL", "C");
  const ToolResult en = Ctl({"scan", "-p", "COM1"});
  EXPECT_TRUE(Has(en.out, "4800 bit/s, Firmware version V1.02.03, USB serial number " + Serial(0)))
      << en.out;
  EXPECT_TRUE(Has(en.err, "zeta7ctl: done 1, failed 0, skipped 0\n")) << en.err;

  // No serial device and no [ports] entry: it says so.
  WriteFile(settings(), "");
  std::filesystem::remove_all(root_ / "sys/class/tty");
  const ToolResult none = Ctl({"scan"});
  EXPECT_EQ(none.exitCode, 0) << none.err;
  EXPECT_TRUE(Has(none.err, "no serial devices were found")) << none.err;
}

// A trace holds every byte each way with its time, enough to see why a
// unit failed: here a refused write, in one file and in a file a port.
TEST_F(CtlSimTest, TraceHoldsEveryByteOfEachPort) {
  ASSERT_TRUE(StartUnits({{}, {"--lower-ok"}}));
  for (const std::string& trace : {dir_ / "all.trace", dir_ / "traces/"}) {
    const ToolResult r = Ctl({"write", "-p", "COM1", "-p", "COM2", "-c", "30", "-i", "1", "-r", "1",
                              "-t", "1", "--pace", "fast", "--force", "--trace", trace});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::string com2 = ReadFile(trace.back() == '/' ? trace + "COM2.trace" : trace);
    const std::regex line("^(\\d+)\t(COM[12])\t(tx|rx|open|close|lost|end)\t(.*)$");
    long long last = -1;
    std::string sent, received;
    for (const std::string& l : SplitLines(com2)) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(l, m, line)) << l;
      if (m[2] != "COM2") continue;
      EXPECT_GE(std::stoll(m[1]), last) << l;
      last = std::stoll(m[1]);
      (m[3] == "tx" ? sent : received) += m[3] == "tx" || m[3] == "rx" ? m[4].str() : "";
    }
    EXPECT_TRUE(Has(sent, "\"S 30 1 1 1\\r\\n\"")) << com2;
    EXPECT_TRUE(Has(received, "ok\\r\\nZETA7>\"")) << com2;
    EXPECT_TRUE(Has(com2, "\tCOM2\tend\tfailed rejected: ")) << com2;
  }
  EXPECT_TRUE(Has(ReadFile(dir_ / "traces/COM1.trace"), "\tCOM1\ttx\t\"S 30 1 1 1\\r\\n\""));

  // The trace's received side, replayed as a unit, fails the same way.
  const Lines write = {"write", "-p", "COM1", "-c",     "30",   "-i",      "1",     "-r",
                       "1",     "-t", "1",    "--pace", "fast", "--force", "--json"};
  CSimProcess replay;
  ASSERT_TRUE(replay.Start({"--replay", dir_ / "all.trace", "--replay-port", "COM2"}))
      << replay.Error();
  WriteFile(settings(), "[ports]\ncom1=" + replay.DevicePath() + "\n");
  std::vector<json> again = Records(Ctl(write).out);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0]["error_code"], "rejected");
  EXPECT_TRUE(Has(again[0]["error"], "への応答 \"ok\"")) << again[0]["error"];
}

}  // namespace

// Every failure speaks the user's language: under the C locale not one byte
// beyond ASCII reaches standard output, standard error, the record or the
// trace (the names here are all ASCII), and under LANGUAGE=ja the same
// failure reads in Japanese. A text left Japanese in the code shows in the
// English run; one missing from the catalogue, in the Japanese run.
TEST_F(CtlSimTest, FailuresSpeakTheUserLanguage) {
  ASSERT_TRUE(StartUnits({{"--silent"},
                          {"--unit-baud", "4800"},
                          {"--r16"},
                          {"--lower-ok"},
                          {"--no-store"},
                          {"--wrong-prompt"},
                          {}}));
  AddListedDevice(0, sims_[6]->DevicePath());  // serial TS000
  WriteFile(dir_ / "cells.csv",
            "port,channel,id,retry_count,retry_interval\nCOM7,x,1,0,1\nCOM7,7,1,,1\n"
            "COM7,7,1,0,1,extra\n");
  WriteFile(dir_ / "station.csv",
            "port,channel,id,retry_count,retry_interval\nCOM7,7,1,0,1\n"
            "usb-Test_Adapter_TS000-if00-port0,7,1,0,1\n");
  WriteFile(dir_ / "other.csv", "port,channel,id,retry_count,retry_interval\nTS999,7,1,0,1\n");
  const std::string record = dir_ / "rec.jsonl";
  const std::string trace = dir_ / "t.trace";
  const std::string numbers = dir_ / "config/Quillbeck/ZETA-7/com-numbers.conf";
  auto with = [](Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Lines write = {"-c", "30", "-i", "1", "-r", "1", "-t", "1", "--force"};
  const Lines fast = {"--pace", "fast", "--timeout", "300", "--record", record, "--trace", trace};
  const struct {
    const char* what;
    std::string tool;  // zeta7ctl, zeta7-ports, or "station" (run until it has refused)
    Lines args;
    const char* english;
    const char* japanese;
  } cases[] = {
      {"missing port",
       "zeta7ctl",
       {"read", "-p", dir_ / "ttyUSB99"},
       "the device is not there",
       "デバイスがありません"},
      {"no profile",
       "zeta7ctl",
       {"apply", dir_ / "none.ini", "-p", "COM7"},
       "the profile does not exist",
       "プロファイルがありません"},
      {"unit silent", "zeta7ctl", with({"read", "-p", "COM1"}, fast), "no reply (timeout 300 ms)",
       "応答がありません (タイムアウト 300 ms)"},
      {"wrong speed", "zeta7ctl", with({"info", "-p", "COM2", "-b", "38400"}, fast),
       "bytes came but made no reply", "バイト届きましたが応答になっていません"},
      {"short reply", "zeta7ctl", with({"read", "-p", "COM3"}, fast),
       "(16 characters; four values take 17 or 18)", "(16 文字; 4つの値で 17 か 18 文字が正)"},
      {"refused write", "zeta7ctl", with(with({"write", "-p", "COM4"}, write), fast),
       "Writing failed COM4", "書き込みに失敗しました COM4"},
      {"values not kept", "zeta7ctl", with(with({"write", "-p", "COM5"}, write), fast),
       "the values read back after \"OK\" differ", "\"OK\" の後に読み戻した値が違います"},
      {"wrong prompt", "zeta7ctl", with({"info", "-p", "COM6"}, fast), ": prompt \"ZETA7> \"",
       ": プロンプト \"ZETA7> \""},
      {"bad plan cells",
       "zeta7ctl",
       {"apply", "--plan", dir_ / "cells.csv"},
       "cells.csv line 2: channel is not a number: x",
       "cells.csv 2 行目: channel が数ではありません: x"},
      {"station plan of ports",
       "zeta7ctl",
       {"station", "--plan", dir_ / "station.csv"},
       "station.csv line 3: a station plan's port is a USB serial number: "
       "usb-Test_Adapter_TS000-if00-port0",
       "station.csv 2 行目: station の計画の port は USB のシリアル番号です: COM7"},
      {"serial number without a row",
       "station",
       {"station", "--plan", dir_ / "other.csv", "--json", "--record", record},
       "serial number TS000 has no row in the plan",
       "シリアル番号 TS000 の行が計画にありません"},
      {"damaged numbers file",
       "zeta7-ports",
       {"--settings", settings()},
       "the file of COM numbers is damaged",
       "COM番号の記憶ファイルが壊れています"},
  };
  const auto run = [&](const auto& c) {
    std::filesystem::remove(FsPath(record));
    std::filesystem::remove(FsPath(trace));
    ToolResult r;
    if (c.tool == "station") {
      CToolProcess ctl("zeta7ctl");
      Lines args = c.args;
      args.insert(args.begin() + 1, {"--settings", settings()});
      if (ctl.Start(args, dir_ / "out")) {
        WaitFor([&] { return Has(ReadFile(dir_ / "out"), "no_plan_row"); });
        ctl.Signal(SIGINT);
        r = ctl.Wait();
        r.out = ReadFile(dir_ / "out");
      }
    } else if (c.tool == "zeta7-ports") {
      WriteFile(numbers, "COM1 a\nCOM1 b\n");
      r = CToolProcess("zeta7-ports").Run(c.args);
      std::filesystem::remove(FsPath(numbers));
    } else {
      r = Ctl(c.args);
    }
    std::error_code ec;
    if (std::filesystem::exists(FsPath(record), ec)) r.out += ReadFile(record);
    if (std::filesystem::exists(FsPath(trace), ec)) r.out += ReadFile(trace);
    return r;
  };
  for (const auto& c : cases) {
    std::string english, japanese;
    {
      CScopedEnv c1("LC_ALL", "C");
      const ToolResult r = run(c);
      english = r.out + r.err;
    }
    {
      // C.UTF-8 names no language: LANGUAGE chooses, as gettext reads it.
      CScopedEnv c1("LC_ALL", "C.UTF-8");
      CScopedEnv ja("LANGUAGE", "ja");
      const ToolResult r = run(c);
      japanese = r.out + r.err;
    }
    const auto beyond = std::find_if(english.begin(), english.end(), [](char ch) {
      return static_cast<unsigned char>(ch) >= 0x80;
    });
    EXPECT_EQ(beyond, english.end()) << c.what << ": not English at \""
                                     << english.substr(beyond - english.begin(), 60) << "\" in\n"
                                     << english;
    EXPECT_TRUE(Has(english, c.english)) << c.what << ":\n" << english;
    EXPECT_TRUE(Has(japanese, c.japanese)) << c.what << ":\n" << japanese;
  }
}
