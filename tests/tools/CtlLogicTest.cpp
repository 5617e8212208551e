// zeta7ctl's checks before anything is sent: the command line, the ranges,
// the profile file, and the record's JSON.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "CliText.h"
#include "CtlBatch.h"
#include "CtlMain.h"
#include "CtlOptions.h"
#include "CtlPlan.h"
#include "CtlProfile.h"
#include "CtlRecord.h"
#include "JsonLine.h"
#include "PortDiagnosis.h"
#include "ProfileText.h"
#include "TestFiles.h"

namespace {

// The texts below are the Japanese ones, as a technician in Japan reads
// them; the command line's own table of refusals reads the English.
const bool g_japanese = (SetLanguage(CliLanguage::kJapanese), true);

bool Parse(const std::vector<std::string>& args, CtlCommand* c, std::string* error) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ParseCtlArgs(static_cast<int>(argv.size()), argv.data(), c, error);
}

TEST(CtlOptionsTest, UsageErrorsAreRefusedWithAReason) {
  SetLanguage(CliLanguage::kEnglish);
  const struct {
    std::vector<std::string> args;
    const char* message;  // part of the error
  } cases[] = {
      {{}, "no command"},
      {{"frobnicate"}, "unknown command: frobnicate"},
      {{"raed", "-p", "COM1"}, "unknown command: raed (did you mean read?)"},
      {{"read", "--bogus"}, "unknown option: --bogus"},
      {{"read", "--chanel", "7"}, "(did you mean --channel?)"},
      {{"read", "-p", "COM1", "--json=yes"}, "--json is true or false, not yes"},
      {{"read", "-p", "COM1", "--json", "--check", "--exit-code"}, "read takes no --check"},
      {{"write", "-p", "COM1", "-c", "7", "-i", "0", "-r", "0", "-t", "0", "--exit-code"},
       "--exit-code is only for --check"},
      {{"read"}, "no port"},
      {{"read", "-p", "COM1", "--all"}, "cannot go together"},
      {{"read", "-p"}, "-p needs a value"},
      {{"read", "-p", "COM1", "-b", "115200"}, "outside the valid range: --baud 115200"},
      {{"read", "-p", "COM1", "--pace", "slow"}, "fixed or fast"},
      {{"read", "-p", "COM1", "--channel", "12"}, "--channel is only for write"},
      {{"write", "-p", "COM1", "-c", "12", "-i", "3", "-r", "5"}, "Enter the parameters"},
      {{"write", "-p", "COM1", "-c", "12", "-c", "12", "-c", "12", "-c", "12"}, "are all needed"},
      {{"write", "-p", "COM1", "-c", "6", "-i", "3", "-r", "5", "-t", "0"}, "channel = 6"},
      {{"write", "-p", "COM1", "-c", "46", "-i", "16", "-r", "5", "-t", "0"}, "id = 16"},
      {{"write", "-p", "COM1", "-c", "7", "-i", "0", "-r", "10001", "-t", "0"}, "retry_count"},
      {{"write", "-p", "COM1", "-c", "7", "-i", "0", "-r", "-2", "-t", "0"}, "retry_count"},
      {{"write", "-p", "COM1", "-c", "7", "-i", "0", "-r", "0", "-t", "32768"}, "retry_interval"},
      {{"write", "-p", "COM1", "-c", "12x", "-i", "0", "-r", "0", "-t", "1"}, "not a number"},
      {{"write", "-p", "COM1", "-c", "7", "-i", "0", "-r", "many", "-t", "1"},
       "a number or infinite"},
      {{"save", "-p", "COM1"}, "needs the name of a profile file"},
      {{"apply", "a.ini", "b.ini", "-p", "COM1"}, "extra argument: b.ini"},
      {{"ports", "-p", "COM1"}, "ports takes no -p"},
      {{"read", "-p", "COM1", "--timeout", "0"}, "(1 to 60000)"},
      {{"read", "-p", "COM1", "--timeout", "60001"}, "(1 to 60000)"},
      {{"save", "unit.ini"}, "one port only"},
      {{"read", "-p", "COM1", "--timeout", "500"}, "only for --pace fast"},
      {{"read", "-p", "COM1", "--pace", "fast", "--timeout", "99999999999"},
       "outside the valid range"},
      {{"read", "-x"}, "unknown option: -x"},
      {{"apply", "a.ini", "-p", "COM1", "--check", "--force"}, "cannot go together"},
      {{"apply", "--plan", "u.csv", "-p", "COM1"}, "--plan takes no profile"},
      {{"apply", "a.ini", "--plan", "u.csv"}, "--plan takes no profile"},
      {{"write", "--plan", "u.csv"}, "--plan is only for apply and station"},
      {{"scan", "--all"}, "scan takes no --all"},
      {{"scan", "-b", "9600"}, "scan takes no -b"},
      {{"scan", "--pace", "fixed"}, "scan takes no --pace"},
      {{"scan", "--timeout", "0"}, "(1 to 60000)"},
      // Every file the user names: never empty (an unset variable must not
      // mean the default settings file), no control character.
      {{"read", "-p", "COM1", "--settings", ""}, "the file name of --settings is empty"},
      {{"read", "-p", "COM1", "--settings="}, "the file name of --settings is empty"},
      {{"read", "-p", "COM1", "--record", ""}, "the file name of --record is empty"},
      {{"read", "-p", "COM1", "--trace", ""}, "the file name of --trace is empty"},
      {{"apply", "--plan", ""}, "the file name of --plan is empty"},
      {{"apply", "", "-p", "COM1"}, "the file name of the profile is empty"},
      {{"read", "-p", "COM1", "--record", "a\nb.jsonl"}, "holds a control character: \"a\\nb.jsonl\""},
      {{"save", "-p", "COM1", "u\x1b[2J.ini"}, "holds a control character"},
      {{"apply", "--plan", "u\t.csv"}, "holds a control character"},
  };
  for (const auto& c : cases) {
    CtlCommand command;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &command, &error)) << testing::PrintToString(c.args);
    EXPECT_NE(error.find(c.message), std::string::npos)
        << testing::PrintToString(c.args) << " -> " << error;
  }
  // The same refusals in Japanese, from the catalogue.
  SetLanguage(CliLanguage::kJapanese);
  const struct {
    std::vector<std::string> args;
    const char* message;
  } japanese[] = {
      {{"raed"}, "不明なコマンドです: raed (read のことですか?)"},
      {{"read", "-p", "COM1", "--channel", "12"}, "--channel は write だけのオプションです"},
      {{"write", "-p", "COM1", "-c", "12", "-i", "3", "-r", "5"},
       "パラメータを入力してください: --channel, --id, --retry, --interval の4つが必要です"},
      {{"read", "-p", "COM1", "-b", "1"}, "値が有効範囲を超えています: --baud 1"},
  };
  for (const auto& c : japanese) {
    CtlCommand command;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &command, &error));
    EXPECT_EQ(error.substr(0, std::string(c.message).size()), c.message) << error;
  }
  (void)g_japanese;
}

TEST(CtlOptionsTest, AcceptedCommandsCarryTheirValues) {
  CtlCommand c;
  std::string error;
  // clang-format off
  ASSERT_TRUE(Parse({"write", "-p", "COM3", "--port=/dev/pts/9", "--channel", "46", "--id=15",
                     "--retry", "infinite", "-t", "32767", "--pace", "fast", "--timeout", "250",
                     "--json", "--record", "r.jsonl", "-b", "4800"}, &c, &error)) << error;
  // clang-format on
  EXPECT_EQ(c.verb, CtlVerb::kWrite);
  EXPECT_EQ(c.ports, (std::vector<std::string>{"COM3", "/dev/pts/9"}));
  EXPECT_EQ(FormatWriteCommand(c.params), "S 46 15 -1 32767");
  EXPECT_EQ(c.pace, Pace::kFast);
  EXPECT_EQ(c.timeoutMs, 250);
  EXPECT_TRUE(c.json);
  EXPECT_EQ(c.recordPath, "r.jsonl");
  EXPECT_EQ(c.baud, 4800);

  ASSERT_TRUE(Parse({"apply", "unit.ini", "--all"}, &c, &error)) << error;
  EXPECT_EQ(c.file, "unit.ini");
  EXPECT_TRUE(c.all);
  // Attached short values, and "--" before a file name that looks like an
  // option.
  ASSERT_TRUE(Parse({"apply", "-pCOM1", "-b9600", "--", "-site.ini"}, &c, &error)) << error;
  EXPECT_EQ(c.ports, std::vector<std::string>{"COM1"});
  EXPECT_EQ(c.baud, 9600);
  EXPECT_EQ(c.file, "-site.ini");
  ASSERT_TRUE(Parse({"write", "-pCOM2", "-c46", "-i15", "-r-1", "-t0"}, &c, &error)) << error;
  EXPECT_EQ(FormatWriteCommand(c.params), "S 46 15 -1 0");
  ASSERT_TRUE(Parse({"write", "--help"}, &c, &error)) << error;
  EXPECT_TRUE(c.help);
  // "help read" is "read --help"; a flag says true or false outright.
  ASSERT_TRUE(Parse({"help", "read"}, &c, &error)) << error;
  EXPECT_TRUE(c.help);
  EXPECT_EQ(c.verb, CtlVerb::kRead);
  ASSERT_TRUE(Parse({"read", "-p", "COM1", "--json=true", "--json=false"}, &c, &error)) << error;
  EXPECT_FALSE(c.json);
  ASSERT_TRUE(Parse({"--json=true", "read", "-p", "COM1"}, &c, &error)) << error;
  EXPECT_TRUE(c.json);
  ASSERT_TRUE(Parse({"write", "-p", "COM1", "-c7", "-i0", "-r0", "-t0", "--check", "--exit-code"},
                    &c, &error))
      << error;
  EXPECT_TRUE(c.check && c.exitCode);
}

// A plan as spreadsheets write it reads; each bad row is named by the line
// it begins on, and every one of them is reported.
TEST(CtlPlanTest, SpreadsheetHabitsReadAndEveryBadRowIsNamed) {
  std::vector<PlanRow> rows;
  std::vector<PlanError> errors;
  ASSERT_TRUE(
      ParsePlan("\xEF\xBB\xBFNote, Port ,channel,id,retry_count,retry_interval\r\n"
                "\"site \"\"A\"\", bench\r\n2\",\"COM3\",12,3,infinite,1000\r\n"
                ",,,,,\r\n"
                "x, /dev/ttyUSB0 ,46,15,10000,32767\r\n\r\n",
                &rows, &errors))
      << PlanErrorText("p", errors.at(0));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].line, 2);
  EXPECT_EQ(rows[0].port, "COM3");
  EXPECT_EQ(FormatWriteCommand(rows[0].params), "S 12 3 -1 1000");
  EXPECT_EQ(rows[1].line, 5);
  EXPECT_EQ(rows[1].port, "/dev/ttyUSB0");

  const struct {
    std::string text;
    std::vector<std::string> errors;  // as PlanErrorText gives them for "u.csv"
  } cases[] = {
      {"port,channel,id,retry_count,retry_interval\nCOM1,6,0,0,0\nCOM2,7,x,0,0\n"
       "COM3,7,0\nCOM4,7,0,0,0,9\n,7,0,0,0\n",
       {"u.csv 2 行目: 値が有効範囲を超えています: channel = 6 (7〜46)",
        "u.csv 3 行目: id が数ではありません: x", "u.csv 4 行目: retry_count がありません",
        "u.csv 5 行目: 列が見出しより多くあります (6 列; 見出しは 5 列)",
        "u.csv 6 行目: port がありません"}},
      {"port,channel,id,retry_count\nCOM1,7,0,0\n",
       {"u.csv 1 行目: 列 retry_interval がありません"}},
      {"port,channel,id,retry_count,retry_interval,ID\n", {"u.csv 1 行目: 列 id が二度あります"}},
      {"port,channel,id,retry_count,retry_interval\n\"COM1,7,0,0,0\n",
       {"u.csv 2 行目: 引用符 \" が閉じていません"}},
      {"port,channel,id,retry_count,retry_interval\r\n\r\n", {"u.csv: ユニットの行がありません"}},
      {"", {"u.csv: 見出しの行がありません (port,channel,id,retry_count,retry_interval)"}},
      // A port cut at a NUL names another device than the reviewer sees; a
      // note may hold line breaks, never a NUL.
      {std::string("port,channel,id,retry_count,retry_interval,note\n"
                   "/dev/ttyUSB1\0/dev/ttyUSB0,7,0,0,0,\n"
                   "\"COM2\n\",7,0,0,0,\nCOM3,7,0,0,0,\"a\nb\"\nCOM4,7,0,0,0,a\x7f\n",
                   135),
       {"u.csv 2 行目: 列 port に制御文字があります: \"/dev/ttyUSB1\\x00/dev/ttyUSB0\"",
        "u.csv 3 行目: 列 port に制御文字があります: \"COM2\\n\"",
        "u.csv 7 行目: 列 note に制御文字があります: \"a\\x7f\""}},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ParsePlan(c.text, &rows, &errors)) << c.text;
    std::vector<std::string> got;
    for (const PlanError& e : errors) got.push_back(PlanErrorText("u.csv", e));
    EXPECT_EQ(got, c.errors) << c.text;
  }
  for (const auto& [name, serial] : std::vector<std::pair<std::string, std::string>>{
           {"usb-FTDI_FT232R_USB_UART_A1B2C3D4-if00-port0", "A1B2C3D4"},
           {"usb-Prolific_Technology_Inc._USB-Serial_Controller_D-if00-port0", "D"},
           {"usb-Arduino__www.arduino.cc__0043_85736323838351F0E1C1-if00", "85736323838351F0E1C1"},
           {"pci-0000:00:14.0-usb-0:2:1.0-port0", ""}}) {
    EXPECT_EQ(UsbSerialOfByIdName(name), serial) << name;
  }
}

class CtlProfileTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& text, UnitParams* p) {
    WriteFile(dir_ / "unit.ini", text);
    std::string error;
    return ReadProfile(dir_ / "unit.ini", p, &error) ? "" : error;
  }
  CTempDir dir_;
};

TEST_F(CtlProfileTest, ReadsFourValuesOrSaysWhatIsWrong) {
  const struct {
    std::string text;
    const char* error;  // "" when it reads
  } cases[] = {
      {"[parameters]\nchannel=7\nid=0\nretry_count=-1\nretry_interval=32767\n", ""},
      {"; saved\r\n[Parameters]\r\nCHANNEL = "
       "46\r\nid=15\r\nretry_count=10000\r\nretry_interval=0\r\n",
       ""},
      {"[parameters]\nchannel=12\nid=3\nretry_interval=1000\n", "retry_count がありません"},
      {"[parameters]\nchannel=12\nid=3\nretry_count=\nretry_interval=1000\n", "retry_count"},
      {"[parameters]\nchannel=12\nid=three\nretry_count=5\nretry_interval=1000\n",
       "数ではありません"},
      {"[parameters]\nchannel=47\nid=3\nretry_count=5\nretry_interval=1000\n", "channel = 47"},
      {"[other]\nchannel=12\n", "channel がありません"},
  };
  for (const auto& c : cases) {
    UnitParams p{};
    const std::string got = Read(c.text, &p);
    if (*c.error == '\0') {
      EXPECT_EQ(got, "") << c.text;
    } else {
      EXPECT_NE(got.find(c.error), std::string::npos) << c.text << " -> " << got;
    }
  }
  std::string error;
  UnitParams p{};
  EXPECT_FALSE(ReadProfile(dir_ / "absent.ini", &p, &error));
  EXPECT_NE(error.find("プロファイルがありません"), std::string::npos) << error;
}

// A hand-edited profile with a key or [parameters] twice is refused with
// the line; a directory and a huge file each say what they are.
TEST_F(CtlProfileTest, RepeatsAndUnreadableFilesAreNamed) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"[parameters]\nchannel=12\nid=3\nretry_count=5\nretry_interval=1\nCHANNEL = 13\n",
       "6 行目: channel が二度あります (2 行目にも)"},
      {"[parameters]\nchannel=12\nid=3\nretry_count=5\nretry_interval=1\n[other]\n[Parameters]\n",
       "7 行目: [parameters] が二度あります"},
      {"\x7f"
       "ELF\x02\x01\x01",
       "テキストの INI ファイルではありません"},
  };
  for (const auto& c : cases) {
    UnitParams p{};
    const std::string got = Read(c.text, &p);
    EXPECT_NE(got.find(c.error), std::string::npos) << c.text << " -> " << got;
  }
  std::filesystem::create_directory(dir_ / "folder.ini");
  std::string error;
  UnitParams p{};
  EXPECT_FALSE(ReadProfile(dir_ / "folder.ini", &p, &error));
  EXPECT_NE(error.find("ディレクトリです"), std::string::npos) << error;
}

// save sets the four keys and keeps the rest of the file and its encoding
// (UTF-16 as PowerShell's ">" and Notepad's Unicode write it); what apply
// then reads is what was saved. A file that is not a profile is not touched.
TEST_F(CtlProfileTest, SaveKeepsTheRestOfTheFileAndItsEncoding) {
  std::string utf16 = "\xff\xfe";
  for (char ch : std::string("[parameters]\r\nchannel=9\r\n")) utf16 += std::string{ch, '\0'};
  const struct {
    std::string before;
    ProfileEncoding encoding;
    std::string starts;  // the decoded text after the save
    std::string keeps;
  } cases[] = {
      {"; site A\n[parameters]\nchannel=9\n[note]\nwho=me\n", ProfileEncoding::kBytes,
       "; site A\n[parameters]\nchannel=20\n", "[note]\nwho=me\n"},
      {utf16, ProfileEncoding::kUtf16Le, "[parameters]\r\nchannel=20\r\nid=4\r\n", ""},
  };
  const std::string path = dir_ / "unit.ini";
  for (const auto& c : cases) {
    WriteFile(path, c.before);
    std::string error, text;
    ASSERT_TRUE(WriteProfile(path, UnitParams{20, 4, -1, 500}, &error)) << error;
    ProfileEncoding encoding;
    ASSERT_TRUE(ProfileDecode(ReadFile(path), &text, &encoding));
    EXPECT_EQ(encoding, c.encoding);
    EXPECT_EQ(text.rfind(c.starts, 0), 0u) << text;
    EXPECT_NE(text.find(c.keeps), std::string::npos) << text;
    UnitParams back{};
    ASSERT_TRUE(ReadProfile(path, &back, &error)) << error;
    EXPECT_EQ(FormatWriteCommand(back), "S 20 4 -1 500");
  }

  const std::string program = std::string(
      "\x7f"
      "ELF\x02\x01\x01\0\0",
      9);
  WriteFile(dir_ / "program", program);
  std::filesystem::create_directory(dir_ / "folder.ini");
  std::string error;
  EXPECT_FALSE(WriteProfile(dir_ / "program", UnitParams{20, 4, -1, 500}, &error));
  EXPECT_EQ(ReadFile(dir_ / "program"), program);
  EXPECT_FALSE(WriteProfile(dir_ / "folder.ini", UnitParams{20, 4, -1, 500}, &error));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "folder.ini"));
}

// A device that gives its group no access is not mended by joining the
// group.
TEST(CtlPortTextTest, APrivateDeviceDoesNotAdviseJoiningItsGroup) {
  PortDiagnosis d;
  d.device = "/dev/ttyUSB0";
  d.problem = PortProblem::kPermission;
  d.group = "root";
  d.groupMayUse = false;
  EXPECT_EQ(DescribeProblem(d, CliLanguage::kJapanese).find("属する必要があります"),
            std::string::npos)
      << DescribeProblem(d, CliLanguage::kJapanese);
  EXPECT_NE(DescribeProblem(d, CliLanguage::kJapanese)
                .find("グループ \"root\" にも読み書きを許していません"),
            std::string::npos)
      << DescribeProblem(d, CliLanguage::kJapanese);
  d.group = "dialout";
  d.groupMayUse = true;
  EXPECT_NE(DescribeProblem(d, CliLanguage::kJapanese).find("\"dialout\" に属する必要があります"),
            std::string::npos);
}

// Whatever bytes the unit, a device name or an error carries, the line is
// strict JSON and gives back the text: UTF-8 as it is, every control
// character escaped, each byte that is not UTF-8 as U+FFFD.
TEST(CtlRecordTest, EveryLineIsStrictJsonWhateverTheBytes) {
  std::string controls;
  for (int c = 0; c < 0x20; ++c) controls += static_cast<char>(c);
  controls += "\x7f\"\\";
  const struct {
    std::string bytes;
    std::string text;  // as a reader gets it back
  } cases[] = {
      {controls, controls},
      {"ポート 1", "ポート 1"},
      {"/dev/tty\xff", "/dev/tty\xef\xbf\xbd"},
      {"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe3\x81",
       "\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd "
       "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd"},
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
  };
  for (const auto& c : cases) {
    UnitRecord r;
    r.port = c.bytes;
    r.device = c.bytes;
    r.version = c.bytes;
    r.error = c.bytes;
    std::optional<nlohmann::json> v = ParseJsonLine(RecordJson(r));
    ASSERT_TRUE(v.has_value()) << RecordJson(r);
    for (const char* key : {"port", "device", "version", "error"}) {
      EXPECT_EQ((*v)[key], c.text) << key << ": " << RecordJson(r);
    }
  }
}

// A unit whose thread the system will not start fails with the reason; the
// others are done and every unit has its record.
TEST(CtlBatchTest, AThreadThatCannotStartFailsOnlyItsUnit) {
  std::vector<UnitTarget> targets;
  for (const char* name : {"COM1", "COM2", "COM3"}) targets.push_back({name, 0, name, {}, {}});
  int started = 0;
  const ThreadStart start = [&](std::function<void()> work) {
    if (++started == 2) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    return std::thread(std::move(work));
  };
  InterruptState interrupted;
  const BatchCounts counts = RunBatch(
      targets, SessionOptions(), "info", false, [](CUnitSession&) { return true; }, BatchOutput(),
      interrupted, start);
  EXPECT_EQ(counts.ok, 2);
  EXPECT_EQ(counts.failed, 1);
  ASSERT_EQ(counts.records.size(), 3u);
  for (const UnitRecord& r : counts.records) {
    if (r.port != "COM2") continue;
    EXPECT_EQ(r.outcome, UnitOutcome::kFailed);
    EXPECT_NE(r.error.find("スレッドを起動できません COM2"), std::string::npos) << r.error;
    EXPECT_STREQ(ErrorCodeName(r.errorCode), "thread_failed");
  }
}

TEST(CtlRecordTest, JsonLineEscapesTheUnitsBytes) {
  UnitRecord r;
  r.time = "2026-01-02T03:04:05.006Z";
  r.command = "apply";
  r.port = "COM3";
  r.device = "/dev/pts/4";
  r.baud = 38400;
  r.pace = "fast";
  r.version = std::string("V1\"\\\r\x01\xe9", 7);
  r.before = UnitParams{12, 3, 5, 1000};
  r.outcome = UnitOutcome::kFailed;
  r.error = "書き込みに失敗しました COM3";
  r.errorCode = ErrorCode::kRejected;
  r.withDiff = true;
  r.target = UnitParams{20, 3, 5, 1000};
  r.elapsedMs = 42;
  EXPECT_EQ(RecordJson(r),
            "{\"time\":\"2026-01-02T03:04:05.006Z\",\"command\":\"apply\",\"port\":\"COM3\","
            "\"device\":\"/dev/pts/4\",\"baud\":38400,\"pace\":\"fast\","
            "\"version\":\"V1\\\"\\\\\\u000d\\u0001\xef\xbf\xbd\","
            "\"write_sent\":false,\"ok_received\":false,\"unit_state\":\"unchanged\","
            "\"before\":{\"channel\":12,\"id\":3,\"retry_count\":5,\"retry_interval\":1000},"
            "\"after\":null,\"target\":{\"channel\":20,\"id\":3,\"retry_count\":5,"
            "\"retry_interval\":1000},\"changed\":false,\"check\":false,"
            "\"outcome\":\"failed\",\"error_code\":\"rejected\","
            "\"error\":\"書き込みに失敗しました COM3\",\"diff\":{\"channel\":{\"before\":12,"
            "\"after\":20}},\"elapsed_ms\":42}");
  EXPECT_EQ(EscapeBytes(std::string("ZETA7> \r\n\0\xff", 11)), "\"ZETA7> \\r\\n\\x00\\xff\"");
}

}  // namespace

// The record's facts are a function of what was sent and what came back:
// an "S" that never went out is no write, whatever came before it.
TEST(CtlRecordTest, FactsFollowFromWhatWasSentAndWhatCameBack) {
  using E = ErrorCode;
  const std::string kS = "S 20 4 -1 500", kTarget = "20  4    -1   500", kOld = "12  3     5  1000";
  const struct {
    const char* name;
    std::vector<StepResult> steps;  // command, sent, lost, reply, code
    bool ok, interrupted, check;
    bool writeSent, okReceived;
    const char* state;
    bool changed;
    const char* code;  // nullptr: none
  } cases[] = {
      {"written and read back",
       {{"R", true, false, kOld, E::kNone},
        {kS, true, false, "OK", E::kNone},
        {"R", true, false, kTarget, E::kNone}},
       true,
       false,
       false,
       true,
       true,
       "verified",
       true,
       nullptr},
      {"interrupted after R: no S went out",
       {{"R", true, false, kOld, E::kNone}},
       false,
       true,
       false,
       false,
       false,
       "unchanged",
       false,
       "interrupted"},
      {"check: would change, nothing sent",
       {{"R", true, false, kOld, E::kNone}},
       true,
       false,
       true,
       false,
       false,
       "unchanged",
       true,
       nullptr},
      {"line lost at R",
       {{"R", true, true, "12", E::kHangup}},
       false,
       false,
       false,
       false,
       false,
       "unchanged",
       false,
       "hangup"},
      {"S not sent whole",
       {{"R", true, false, kOld, E::kNone}, {kS, false, false, "", E::kHangup}},
       false,
       false,
       false,
       false,
       false,
       "unchanged",
       false,
       "hangup"},
      {"line lost after S",
       {{"R", true, false, kOld, E::kNone}, {kS, true, true, "", E::kHangup}},
       false,
       false,
       false,
       true,
       false,
       "unknown",
       true,
       "state_unknown"},
      {"silent after OK",
       {{"R", true, false, kOld, E::kNone},
        {kS, true, false, "OK", E::kNone},
        {"R", true, false, "", E::kNoAnswer}},
       false,
       false,
       false,
       true,
       true,
       "unknown",
       true,
       "state_unknown"},
      {"interrupted after S",
       {{"R", true, false, kOld, E::kNone}, {kS, true, false, "", E::kNone}},
       false,
       true,
       false,
       true,
       false,
       "unknown",
       true,
       "interrupted"},
      {"NG",
       {{"R", true, false, kOld, E::kNone}, {kS, true, false, "NG", E::kRejected}},
       false,
       false,
       false,
       true,
       false,
       "unknown",
       true,
       "rejected"},
      {"OK but kept its values",
       {{"R", true, false, kOld, E::kNone},
        {kS, true, false, "OK", E::kNone},
        {"R", true, false, kOld, E::kVerifyMismatch}},
       false,
       false,
       false,
       true,
       true,
       "differs",
       false,
       "verify_mismatch"},
  };
  for (const auto& c : cases) {
    UnitRecord r;
    r.check = c.check;
    r.before = UnitParams{12, 3, 5, 1000};
    r.target = UnitParams{20, 4, -1, 500};
    JudgeSteps(c.steps, c.ok, c.interrupted, ErrorCode::kNone, &r);
    EXPECT_EQ(r.writeSent, c.writeSent) << c.name;
    EXPECT_EQ(r.okReceived, c.okReceived) << c.name;
    EXPECT_STREQ(UnitStateName(r.state), c.state) << c.name;
    EXPECT_EQ(r.changed, c.changed) << c.name;
    const char* code = ErrorCodeName(r.errorCode);
    EXPECT_EQ(code == nullptr ? "" : std::string(code), c.code == nullptr ? "" : c.code) << c.name;
  }
  UnitRecord open;
  JudgeSteps({}, false, false, ErrorCode::kOpenBusy, &open);
  EXPECT_STREQ(ErrorCodeName(open.errorCode), "open_busy");
  EXPECT_EQ(open.state, UnitState::kUnchanged);
}
