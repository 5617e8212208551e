// zeta7ctl station end to end: the built program watches a device tree of
// the test's own ($ZETA7_DEVICE_ROOT) while the test plugs units in and out
// by making and removing their entries (sys/class/tty, the node, the by-id
// link), as udev does. Units are zeta7-sim processes and, where a unit must
// hang up at a given moment, the independent unit of FakeUnit.h. Every wait
// is for a record line, never for time.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "FakeUnit.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "TestTerminal.h"
#include "ToolProcess.h"

namespace {

using Json = nlohmann::json;
using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const Json j = Json::parse(line, nullptr, false);
    EXPECT_TRUE(j.is_object()) << "not a JSON line: " << line;
    if (j.is_object()) lines.push_back(j);
  }
  return lines;
}

std::string Values(const Json& p) {
  if (!p.is_object()) return "null";
  return std::to_string(p["channel"].get<int>()) + " " + std::to_string(p["id"].get<int>()) + " " +
         std::to_string(p["retry_count"].get<int>()) + " " +
         std::to_string(p["retry_interval"].get<int>());
}

int CountSent(const Lines& lines) {
  int n = 0;
  for (const std::string& l : lines) n += !l.empty() && l[0] == 'S' ? 1 : 0;
  return n;
}

class CtlStationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals (/dev/ptmx)";
    fs::create_directories(root_ / "sys/class/tty");
    fs::create_directories(root_ / "dev");
    rootEnv_ = std::make_unique<CScopedEnv>("ZETA7_DEVICE_ROOT", root_.Path());
    // The texts below are the Japanese ones; English is the default.
    languageEnv_ = std::make_unique<CScopedEnv>("LC_ALL", "ja_JP.UTF-8");
    WriteFile(profile(), "[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n");
    WriteFile(settings(), "[ports]\n");
  }

  // A USB unit with serial number serial on node ttyUSBn, leading to the
  // pseudo-terminal device; the by-id link comes last, as udev makes it.
  void Plug(int n, const std::string& serial, const std::string& device) {
    const std::string name = "ttyUSB" + std::to_string(n);
    fs::create_directories(root_ / ("sys/class/tty/" + name));
    fs::create_symlink(device, root_ / ("dev/" + name));
    fs::create_directories(root_ / "dev/serial/by-id");
    fs::create_symlink("../../" + name, ById(n, serial));
  }
  // Taken away in udev's order: the link, the node, the class entry; the
  // by-id folder goes with the last unit.
  void Unplug(int n, const std::string& serial) {
    fs::remove(ById(n, serial));
    fs::remove(root_ / ("dev/ttyUSB" + std::to_string(n)));
    fs::remove(root_ / ("sys/class/tty/ttyUSB" + std::to_string(n)));
    std::error_code ec;
    if (fs::is_empty(root_ / "dev/serial/by-id", ec)) fs::remove_all(root_ / "dev/serial");
  }
  // The interface number keeps two devices of one serial number apart.
  std::string ById(int n, const std::string& serial) const {
    return root_ /
           ("dev/serial/by-id/usb-Test_Adapter_" + serial + "-if0" + std::to_string(n) + "-port0");
  }

  bool StartStation(CToolProcess& ctl, Lines args) {
    args.insert(args.begin(), {"station", "--settings", settings(), "--json", "--pace", "fast",
                               "--record", record()});
    if (!ctl.Start(args, out())) return false;
    return WaitFor([&] { return Has(ctl.Err(), "ユニットを挿してください"); });
  }
  // Waits until standard output holds n records.
  std::vector<Json> Await(size_t n) {
    std::vector<Json> lines;
    WaitFor([&] {
      lines = JsonLines(ReadFile(out()));
      return lines.size() >= n;
    });
    EXPECT_EQ(lines.size(), n) << ReadFile(out());
    return lines;
  }
  ToolResult Stop(CToolProcess& ctl, int sig = SIGINT) {
    ctl.Signal(sig);
    return ctl.Wait();
  }

  std::string settings() const { return dir_ / "settings.ini"; }
  std::string profile() const { return dir_ / "unit.ini"; }
  std::string record() const { return dir_ / "records.jsonl"; }
  std::string out() const { return dir_ / "out.jsonl"; }

  CTempDir dir_;
  CTempDir root_;
  std::unique_ptr<CScopedEnv> rootEnv_;
  std::unique_ptr<CScopedEnv> languageEnv_;
};

// Units plugged in after the start, three at once, each get their own plan
// row; a serial number the plan lacks is refused untouched; the records
// say who, where and from which row; the report sums them up.
TEST_F(CtlStationTest, EachUnitGetsItsPlanRowAndAnUnknownOneNothing) {
  const std::string plan = dir_ / "units.csv";
  WriteFile(plan,
            "port,channel,id,retry_count,retry_interval\n"
            "TS001,7,1,0,0\nTS002,8,2,infinite,100\nTS003,46,15,10000,32767\n");
  CSimProcess sims[4];
  for (CSimProcess& s : sims) ASSERT_TRUE(s.Start()) << s.Error();
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(StartStation(ctl, {"--plan", plan, "--operator", "山田"}));
  for (int i = 0; i < 3; ++i) Plug(i, "TS00" + std::to_string(i + 1), sims[i].DevicePath());
  Plug(3, "TS009", sims[3].DevicePath());
  std::vector<Json> lines = Await(4);
  const ToolResult r = Stop(ctl, SIGTERM);
  EXPECT_EQ(r.exitCode, 143) << r.err;
  EXPECT_TRUE(Has(r.err, "完了 3, 失敗 1, 設定済み 0")) << r.err;

  const std::map<std::string, std::pair<std::string, int>> expected = {
      {"TS001", {"7 1 0 0", 2}}, {"TS002", {"8 2 -1 100", 3}}, {"TS003", {"46 15 10000 32767", 4}}};
  for (const Json& j : lines) {
    const std::string serial = j["usb_serial"];
    const auto it = expected.find(serial);
    EXPECT_EQ(j["command"], "station");
    EXPECT_EQ(j["operator"], "山田");
    EXPECT_EQ(j["plan"], plan);
    EXPECT_EQ(j["plan_sha256"].get<std::string>().size(), 64u);
    EXPECT_TRUE(j.contains("end_time") && j.contains("host") && j.contains("tool_version"));
    if (it == expected.end()) {
      EXPECT_EQ(serial, "TS009");
      EXPECT_EQ(j["outcome"], "failed");
      EXPECT_EQ(j["error_code"], "no_plan_row");
      continue;
    }
    EXPECT_EQ(j["outcome"], "ok") << j.dump();
    EXPECT_EQ(Values(j["after"]), it->second.first);
    EXPECT_EQ(j["plan_row"], it->second.second);
  }
  EXPECT_TRUE(sims[3].ReceivedLines().empty());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(CountSent(sims[i].ReceivedLines()), 1);
  // The record file holds the same lines.
  EXPECT_EQ(JsonLines(ReadFile(record())).size(), 4u);

  const ToolResult report = CToolProcess("zeta7ctl").Run({"report", record()});
  EXPECT_EQ(report.exitCode, 0) << report.err;
  EXPECT_TRUE(Has(report.out, "TS002 (")) << report.out;
  EXPECT_TRUE(Has(report.out, "no_plan_row")) << report.out;
  const ToolResult csv = CToolProcess("zeta7ctl").Run({"report", record(), "--csv"});
  EXPECT_TRUE(Has(csv.out, "usb_serial,port,time,")) << csv.out;
  EXPECT_TRUE(Has(csv.out, ",ok,,V1.02.03,46,15,10000,32767,")) << csv.out;
}

// A unit done and plugged in again, in another hub port (a new node) or in
// a later run that reads the record file, is known and not written again;
// --again serves it anyway (it holds the values: read, no "S").
TEST_F(CtlStationTest, ADoneUnitIsKnownAgainWhereverItComesBack) {
  CSimProcess sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  {
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(StartStation(ctl, {profile()}));
    Plug(0, "TS001", sim.DevicePath());
    ASSERT_EQ(Await(1)[0]["outcome"], "ok");
    Unplug(0, "TS001");
    Plug(1, "TS001", sim.DevicePath());  // re-enumerated on another node
    const std::vector<Json> lines = Await(2);
    EXPECT_EQ(lines[1]["error_code"], "already_done");
    EXPECT_EQ(lines[1]["outcome"], "skipped");
    EXPECT_EQ(lines[1]["write_sent"], false);
    EXPECT_EQ(Stop(ctl).exitCode, 130);
  }
  EXPECT_EQ(CountSent(sim.ReceivedLines()), 1);
  const size_t heard = sim.ReceivedLines().size();
  for (const bool again : {false, true}) {
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(StartStation(ctl, again ? Lines{profile(), "--again"} : Lines{profile()}));
    const Json line = Await(1)[0];
    EXPECT_EQ(line["error_code"], again ? Json() : Json("already_done")) << line.dump();
    EXPECT_EQ(line["outcome"], again ? "ok" : "skipped");
    Stop(ctl);
  }
  // --again read the unit; nothing wrote to it again.
  EXPECT_GT(sim.ReceivedLines().size(), heard);
  EXPECT_EQ(CountSent(sim.ReceivedLines()), 1);
}

// A unit that hangs up after its "S" is recorded as such (not ok, state
// unknown) and, plugged in again, served from the start; one that hangs up
// before it is a hang-up with nothing written.
TEST_F(CtlStationTest, AUnitLostMidwayIsServedAgainWhenItReturns) {
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(StartStation(ctl, {profile(), "--timeout", "300"}));
  {
    CFakeUnit early, late;
    ASSERT_TRUE(early.Ok() && late.Ok());
    early.SetFault('R', CFakeUnit::Fault::kHangUp);
    late.SetFault('S', CFakeUnit::Fault::kStoreHangUp);
    Plug(0, "TS001", early.Device());
    Plug(1, "TS002", late.Device());
    const std::vector<Json> lines = Await(2);
    for (const Json& j : lines) {
      const bool written = j["usb_serial"] == "TS002";
      EXPECT_EQ(j["outcome"], "failed") << j.dump();
      EXPECT_EQ(j["write_sent"], written);
      EXPECT_EQ(j["error_code"], written ? "state_unknown" : "hangup") << j.dump();
      EXPECT_EQ(j["unit_state"], written ? "unknown" : "unchanged");
    }
    Unplug(0, "TS001");
    Unplug(1, "TS002");
  }
  CFakeUnit back;
  ASSERT_TRUE(back.Ok());
  Plug(2, "TS002", back.Device());
  const std::vector<Json> lines = Await(3);
  EXPECT_EQ(lines[2]["usb_serial"], "TS002");
  EXPECT_EQ(lines[2]["outcome"], "ok") << lines[2].dump();
  EXPECT_EQ(back.Lines(), (Lines{"", "V", "R", "S 20 4 -1 500", "R"}));
  EXPECT_EQ(Stop(ctl, SIGHUP).exitCode, 129);
}

// Two devices with one serial number: neither is written, each is said;
// once one is gone, the other is served.
TEST_F(CtlStationTest, TwoDevicesWithOneSerialAreBothRefused) {
  CSimProcess a, b;
  ASSERT_TRUE(a.Start() && b.Start()) << a.Error() << b.Error();
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(StartStation(ctl, {profile()}));
  // Two interfaces of one serial number, as a cloned adapter shows them,
  // both at one instant: their links move into place in one rename.
  const std::string staged = root_ / "dev/serial.new/by-id";
  fs::create_directories(staged);
  for (int n : {0, 1}) {
    const std::string name = "ttyUSB" + std::to_string(n);
    fs::create_directories(root_ / ("sys/class/tty/" + name));
    fs::create_symlink(n == 0 ? a.DevicePath() : b.DevicePath(), root_ / ("dev/" + name));
    fs::create_symlink("../../" + name,
                       staged + "/" + fs::path(ById(n, "TS001")).filename().string());
  }
  fs::rename(root_ / "dev/serial.new", root_ / "dev/serial");
  std::vector<Json> lines;
  ASSERT_TRUE(WaitFor([&] {
    lines = JsonLines(ReadFile(out()));
    int shared = 0;
    for (const Json& j : lines) shared += j["error_code"] == "shared_serial" ? 1 : 0;
    return shared == 2;
  })) << ReadFile(out());
  EXPECT_TRUE(Has(lines.back()["error"], "2 台あります")) << lines.back().dump();
  EXPECT_TRUE(a.ReceivedLines().empty());
  EXPECT_TRUE(b.ReceivedLines().empty());
  Unplug(1, "TS001");
  ASSERT_TRUE(WaitFor([&] { return Has(ReadFile(out()), "\"outcome\":\"ok\""); }));
  EXPECT_EQ(CountSent(a.ReceivedLines()), 1);
  EXPECT_TRUE(b.ReceivedLines().empty());
  Stop(ctl);
}

// SIGINT, SIGTERM, SIGHUP while a unit is in the middle of its write: the
// exchange in flight ends, the unit's record is written, then the totals
// and 128 + the signal.
TEST_F(CtlStationTest, ASignalLetsTheUnitInFlightEndAndWritesItsRecord) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    CFakeUnit held;
    ASSERT_TRUE(held.Ok());
    held.SetFault('S', CFakeUnit::Fault::kHeld);
    fs::remove(out());
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(StartStation(ctl, {profile(), "--timeout", "60000"}));
    Plug(0, "TS001", held.Device());
    ASSERT_TRUE(held.WaitForLine("S "));
    ctl.Signal(sig);
    ASSERT_TRUE(WaitFor([&] { return Has(ctl.Err(), "中断します"); }));
    held.Release();
    const ToolResult r = ctl.Wait();
    EXPECT_EQ(r.exitCode, 128 + sig) << r.err;
    EXPECT_TRUE(Has(r.err, "中断しました (完了 0, 失敗 0, 設定済み 0, 中断 1)")) << r.err;
    const std::vector<Json> lines = JsonLines(ReadFile(out()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["outcome"], "interrupted");
    EXPECT_EQ(lines[0]["ok_received"], true);
    Unplug(0, "TS001");
  }
}

// On a terminal the board is drawn in place, green for a unit done, with
// a bell; NO_COLOR leaves the colours out, --quiet the bell, TERM=dumb the
// drawing in place (a plain line a result instead).
TEST_F(CtlStationTest, TheBoardFollowsTheTerminal) {
  const struct {
    const char* term;
    const char* noColor;
    bool quiet;
    bool inPlace, colour, bell;
  } cases[] = {
      {"xterm", nullptr, false, true, true, true},
      {"xterm", "1", true, true, false, false},
      {"dumb", nullptr, false, false, false, false},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.term) + (c.noColor ? " NO_COLOR" : "") + (c.quiet ? " quiet" : ""));
    CScopedEnv term("TERM", std::string(c.term));
    CScopedEnv noColor("NO_COLOR",
                       c.noColor ? std::optional<std::string>(c.noColor) : std::nullopt);
    CTerminal tty;
    ASSERT_TRUE(tty.Ok());
    CSimProcess sim;
    ASSERT_TRUE(sim.Start()) << sim.Error();
    Lines args = {"station", profile(), "--settings", settings(),
                  "--pace",  "fast",    "--record",   record()};
    if (c.quiet) args.push_back("--quiet");
    CToolProcess ctl("zeta7ctl");
    ASSERT_TRUE(ctl.Start(args, out(), "", tty.Device()));
    ASSERT_TRUE(WaitFor([&] { return Has(tty.Text(), "ユニットを挿してください"); }));
    const std::string serial = "TB" + std::to_string(n);
    Plug(n, serial, sim.DevicePath());
    ASSERT_TRUE(WaitFor([&] { return JsonLines(ReadFile(record())).size() > size_t(n); }));
    ctl.Signal(SIGINT);
    EXPECT_EQ(ctl.Wait().exitCode, 130);
    ASSERT_TRUE(WaitFor([&] { return Has(tty.Text(), "中断しました"); })) << tty.Text();
    const std::string text = tty.Text();
    EXPECT_EQ(Has(text, "\033[32m"), c.colour) << text;
    EXPECT_EQ(Has(text, "\a"), c.bell) << text;
    EXPECT_EQ(Has(text, "\033["), c.inPlace) << text;
    // The unit's line: its node, serial number and result; without a board
    // a plain line on standard output.
    const std::string line = c.inPlace ? text : ReadFile(out());
    EXPECT_TRUE(Has(line, "ttyUSB" + std::to_string(n))) << line;
    EXPECT_TRUE(Has(line, serial)) << line;
    EXPECT_TRUE(Has(text, "完了 1, 失敗 0, 設定済み 0")) << text;
    Unplug(n, serial);
    ++n;
  }
}

// udev makes the node before its by-id name. A station that looks in
// between sees a device without a serial number; once the name comes, that
// is the same unit, not a second one left on the board as unplugged.
TEST_F(CtlStationTest, ANodeWaitingForItsNameIsNoUnitOfItsOwn) {
  CScopedEnv term("TERM", std::string("xterm"));
  CTerminal tty;
  ASSERT_TRUE(tty.Ok());
  CSimProcess sim;
  ASSERT_TRUE(sim.Start()) << sim.Error();
  CToolProcess ctl("zeta7ctl");
  ASSERT_TRUE(ctl.Start({"station", profile(), "--settings", settings(), "--pace", "fast",
                         "--record", record(), "--quiet"},
                        out(), "", tty.Device()));
  ASSERT_TRUE(WaitFor([&] { return Has(tty.Text(), "ユニットを挿してください"); }));
  fs::create_directories(root_ / "sys/class/tty/ttyUSB7");
  fs::create_symlink(sim.DevicePath(), root_ / "dev/ttyUSB7");
  ASSERT_TRUE(WaitFor([&] { return Has(tty.Text(), "認識中"); })) << tty.Text();
  fs::create_directories(root_ / "dev/serial/by-id");
  fs::create_symlink("../../ttyUSB7", ById(7, "NAMED"));
  ASSERT_TRUE(WaitFor([&] { return !JsonLines(ReadFile(record())).empty(); }));
  ctl.Signal(SIGINT);
  EXPECT_EQ(ctl.Wait().exitCode, 130);
  // The last board drawn: after the last move back to its first line.
  const std::string text = tty.Text();
  const std::string board = text.substr(text.rfind("A\r") + 2);
  EXPECT_TRUE(Has(board, "NAMED")) << board;
  EXPECT_FALSE(Has(board, "(抜去)")) << board;
  EXPECT_TRUE(Has(board, "完了 1, 失敗 0, 設定済み 0")) << board;
  const std::vector<Json> records = JsonLines(ReadFile(record()));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]["usb_serial"], "NAMED");
}

}  // namespace
