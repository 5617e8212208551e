// The station's and the report's parts that need no unit: their command
// lines, the content hash, the Windows serial numbers, the board's text,
// the summary of a record file and the record's audit fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliText.h"
#include "CtlHash.h"
#include "CtlOptions.h"
#include "CtlRecord.h"
#include "CtlReport.h"
#include "CtlStation.h"
#include "DeviceWatcher.h"
#include "TestFiles.h"

namespace {

bool Parse(std::vector<std::string> args, CtlCommand* c, std::string* error) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ParseCtlArgs(static_cast<int>(argv.size()), argv.data(), c, error);
}

TEST(CtlStationOptionsTest, StationAndReportTakeTheirOwnOptionsOnly) {
  SetLanguage(CliLanguage::kEnglish);
  const struct {
    std::vector<std::string> args;
    const char* message;  // "" when accepted
  } cases[] = {
      {{"station", "unit.ini", "--again", "--quiet", "--operator", "山田", "--check"}, ""},
      {{"station", "--plan", "units.csv", "--json", "--trace", "t/", "--pace", "fast"}, ""},
      {{"station", "unit.ini", "--force", "--record", "r.jsonl", "-b", "9600"}, ""},
      {{"report", "r.jsonl", "--csv"}, ""},
      {{"read", "-p", "COM1", "--operator", "x"}, ""},
      {{"station"}, "station needs the name of a profile file"},
      {{"station", "unit.ini", "-p", "COM1"}, "station takes no -p"},
      {{"station", "unit.ini", "--all"}, "station takes no --all"},
      {{"station", "unit.ini", "--plan", "u.csv"}, "--plan takes no profile"},
      {{"station", "unit.ini", "--force", "--check"}, "cannot go together"},
      {{"apply", "unit.ini", "-p", "COM1", "--again"}, "--again is only for station"},
      {{"read", "-p", "COM1", "--quiet"}, "--quiet is only for station"},
      {{"read", "-p", "COM1", "--csv"}, "--csv is only for report"},
      {{"read", "-p", "COM1", "--operator", ""}, "--operator: the name is empty"},
      {{"report"}, "report needs one record file"},
      {{"report", "a.jsonl", "b.jsonl"}, "report needs one record file"},
      {{"report", "a.jsonl", "--json"}, "report takes no --json"},
  };
  for (const auto& c : cases) {
    CtlCommand command;
    std::string error;
    const bool ok = Parse(c.args, &command, &error);
    EXPECT_EQ(ok, c.message[0] == '\0') << testing::PrintToString(c.args) << " -> " << error;
    if (!ok) {
      EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
  }
  CtlCommand c;
  std::string error;
  ASSERT_TRUE(Parse({"station", "unit.ini", "--again", "--operator=鈴木"}, &c, &error));
  EXPECT_EQ(c.verb, CtlVerb::kStation);
  EXPECT_EQ(c.file, "unit.ini");
  EXPECT_TRUE(c.again);
  EXPECT_EQ(c.operatorName, "鈴木");
  SetLanguage(CliLanguage::kJapanese);
}

TEST(CtlHashTest, Sha256OfKnownTexts) {
  const struct {
    std::string text;
    const char* hex;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // 56 bytes: the length no longer fits the first block.
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.text), c.hex) << c.text.substr(0, 8);
  CTempDir dir;
  WriteFile(dir / "p.ini", "abc");
  EXPECT_EQ(FileSha256(dir / "p.ini"), cases[1].hex);
  EXPECT_EQ(FileSha256(dir / "missing.ini"), "");
  EXPECT_EQ(FileSha256("-"), "");
}

TEST(CtlStationTest, SerialNumbersOfWindowsInstanceIds) {
  const struct {
    const char* id;
    const char* serial;
  } cases[] = {
      {"USB\\VID_0403&PID_6001\\A50285BI", "A50285BI"},
      {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "A50285BI"},
      {"USB\\VID_1A86&PID_7523\\5&2C3A1F7&0&2", ""},  // made up by the system
      {"ACPI\\PNP0501\\1", ""},
      {"FTDIBUS\\VID_0403+PID_6001\\0000", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UsbSerialOfInstanceId(c.id), c.serial) << c.id;
}

TEST(CtlStationTest, BoardLinesAreCutToTheTerminalAndColouredByResult) {
  const std::vector<BoardLine> lines = {
      {"ttyUSB0", "TS001", "完了", "チャネル 20", BoardLine::Tone::kGreen},
      {"ttyUSB1", "", "設定中", "0.3 秒", BoardLine::Tone::kPlain},
      {"COM5", "A5", "設定済み", "", BoardLine::Tone::kYellow},
      {"ttyUSB2", "TS9", "拒否", "理由", BoardLine::Tone::kRed}};
  const std::vector<std::string> plain = BoardText(lines, "完了 1", false, 0);
  ASSERT_EQ(plain.size(), 5u);
  EXPECT_EQ(plain[0], "ttyUSB0  TS001        完了  チャネル 20");
  EXPECT_EQ(plain[1], "ttyUSB1  -            設定中  0.3 秒");
  EXPECT_EQ(plain[4], "完了 1");
  for (const std::string& l : plain) EXPECT_EQ(l.find('\033'), std::string::npos) << l;
  const std::vector<std::string> colour = BoardText(lines, "完了 1", true, 0);
  EXPECT_EQ(colour[0], "\033[32m" + plain[0] + "\033[0m");
  EXPECT_EQ(colour[1], plain[1]);
  EXPECT_EQ(colour[2].substr(0, 5), "\033[33m");
  EXPECT_EQ(colour[3].substr(0, 5), "\033[31m");
  // A wide character that would straddle the edge is left out whole.
  EXPECT_EQ(BoardText(lines, "", false, 24)[0], "ttyUSB0  TS001        完");
  EXPECT_EQ(BoardText(lines, "", false, 23)[0], "ttyUSB0  TS001        ");
}

TEST(CtlReportTest, EachUnitByItsSerialOrPortWithItsLastRecord) {
  CTempDir dir;
  const std::string path = dir / "r.jsonl";
  WriteFile(
      path,
      "{\"time\":\"t1\",\"command\":\"station\",\"port\":\"/dev/ttyUSB0\",\"usb_serial\":"
      "\"TS1\",\"version\":\"V1\",\"outcome\":\"failed\",\"error_code\":\"hangup\","
      "\"error\":\"lost, \\\"here\\\"\",\"before\":null,\"after\":null}\n"
      "{\"time\":\"t2\",\"command\":\"read\",\"port\":\"COM3\",\"outcome\":\"ok\","
      "\"error_code\":null,\"error\":\"\",\"before\":{\"channel\":12,\"id\":3,"
      "\"retry_count\":5,\"retry_interval\":1000},\"after\":null}\r\n"
      "{\"time\":\"t3\",\"end_time\":\"t4\",\"command\":\"station\",\"port\":\"/dev/ttyUSB1\","
      "\"usb_serial\":\"TS1\",\"outcome\":\"ok\",\"after\":{\"channel\":20,\"id\":4,"
      "\"retry_count\":-1,\"retry_interval\":500}}\n"
      "{\"time\":\"t5\",\"command\":\"sta\n");  // cut by a crash
  std::vector<RecordSummary> records;
  int bad = 0;
  std::string error;
  ASSERT_TRUE(ReadRecordSummaries(path, &records, &bad, &error)) << error;
  EXPECT_EQ(records.size(), 3u);
  EXPECT_EQ(bad, 1);
  const std::vector<RecordSummary> units = LastOfEachUnit(records);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].usbSerial, "TS1");
  EXPECT_EQ(units[0].time, "t4");  // the end, where the record has it
  EXPECT_EQ(units[0].outcome, "ok");
  EXPECT_EQ(ReportText(units, false),
            "TS1 (/dev/ttyUSB1)  t4  station ok  チャネル 20, ID 4, 無限リトライ, "
            "リトライ間隔[msec] 500\n"
            "COM3  t2  read ok  チャネル 12, ID 3, リトライ回数 5, リトライ間隔[msec] 1000\n");
  records[0].port = "COM,1";
  EXPECT_EQ(ReportText(LastOfEachUnit({records[0]}), true),
            "usb_serial,port,time,command,outcome,error_code,version,channel,id,retry_count,"
            "retry_interval,error\r\n"
            "TS1,\"COM,1\",t1,station,failed,hangup,V1,,,,,\"lost, \"\"here\"\"\"\r\n");
  EXPECT_FALSE(ReadRecordSummaries(dir / "none.jsonl", &records, &bad, &error));
  EXPECT_NE(error.find("開けません"), std::string::npos);
}

// The audit fields follow the record's last old field, so a reader of the
// old fields finds them byte for byte as before.
TEST(CtlRecordTest, AuditFieldsFollowTheOldOnes) {
  UnitRecord r;
  r.command = "apply";
  r.elapsedMs = 7;
  const std::string old = RecordJson(r);
  r.endTime = "2026-01-02T03:04:05.006Z";
  r.toolVersion = "1.2.0.0";
  r.host = "bench-1";
  r.operatorName = "山田";
  r.plan = "units.csv";
  r.planSha256 = std::string(64, 'a');
  r.planRow = 3;
  const std::string now = RecordJson(r);
  ASSERT_EQ(now.compare(0, old.size() - 1, old, 0, old.size() - 1), 0) << now;
  EXPECT_EQ(now.substr(old.size() - 1),
            ",\"end_time\":\"2026-01-02T03:04:05.006Z\",\"tool_version\":\"1.2.0.0\","
            "\"host\":\"bench-1\",\"operator\":\"山田\",\"plan\":\"units.csv\",\"plan_sha256\":\"" +
                std::string(64, 'a') + "\",\"plan_row\":3}");
}

}  // namespace
