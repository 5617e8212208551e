#include "CtlReport.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "CliText.h"
#include "CtlMain.h"
#include "CtlRecord.h"
#include "ToolConsole.h"

namespace {

using Json = nlohmann::json;

std::string Text(const Json& record, const char* key) {
  const auto it = record.find(key);
  return it != record.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::optional<UnitParams> Params(const Json& record, const char* key) {
  const auto it = record.find(key);
  if (it == record.end() || !it->is_object()) return std::nullopt;
  UnitParams p{};
  const std::pair<const char*, int*> fields[] = {{"channel", &p.channel},
                                                 {"id", &p.id},
                                                 {"retry_count", &p.retryCount},
                                                 {"retry_interval", &p.retryInterval}};
  for (const auto& [name, field] : fields) {
    const auto v = it->find(name);
    if (v == it->end() || !v->is_number_integer()) return std::nullopt;
    *field = v->get<int>();
  }
  return p;
}

std::string Csv(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ValuesCsv(const std::optional<UnitParams>& p) {
  if (!p) return ",,,";
  return std::to_string(p->channel) + "," + std::to_string(p->id) + "," +
         std::to_string(p->retryCount) + "," + std::to_string(p->retryInterval);
}

}  // namespace

bool ReadRecordSummaries(const std::string& path, std::vector<RecordSummary>* records, int* bad,
                         std::string* error) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) {
    *error = TrF("cannot open the record file: %s", {path});
    return false;
  }
  *bad = 0;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) {
      ++*bad;
      continue;
    }
    RecordSummary r;
    r.time = Text(j, "end_time");
    if (r.time.empty()) r.time = Text(j, "time");
    r.command = Text(j, "command");
    r.port = Text(j, "port");
    r.usbSerial = Text(j, "usb_serial");
    r.version = Text(j, "version");
    r.outcome = Text(j, "outcome");
    r.errorCode = Text(j, "error_code");
    r.error = Text(j, "error");
    const auto check = j.find("check");
    r.check = check != j.end() && check->is_boolean() && check->get<bool>();
    r.target = Params(j, "target");
    r.values = Params(j, "after");
    if (!r.values) r.values = Params(j, "before");
    records->push_back(r);
  }
  if (in.bad()) {
    *error = TrF("cannot read the record file: %s", {path});
    return false;
  }
  return true;
}

std::vector<RecordSummary> LastOfEachUnit(const std::vector<RecordSummary>& records) {
  std::vector<RecordSummary> units;
  std::map<std::string, size_t> index;
  for (const RecordSummary& r : records) {
    const std::string key = r.usbSerial.empty() ? "port:" + r.port : "usb:" + r.usbSerial;
    const auto [it, fresh] = index.emplace(key, units.size());
    if (fresh) {
      units.push_back(r);
    } else {
      units[it->second] = r;
    }
  }
  return units;
}

std::string ReportText(const std::vector<RecordSummary>& units, bool csv) {
  std::string out;
  if (csv) {
    out =
        "usb_serial,port,time,command,outcome,error_code,version,channel,id,retry_count,"
        "retry_interval,error\r\n";
    for (const RecordSummary& u : units) {
      out += Csv(u.usbSerial) + "," + Csv(u.port) + "," + Csv(u.time) + "," + Csv(u.command) + "," +
             Csv(u.outcome) + "," + Csv(u.errorCode) + "," + Csv(u.version) + "," +
             ValuesCsv(u.values) + "," + Csv(u.error) + "\r\n";
    }
    return out;
  }
  for (const RecordSummary& u : units) {
    std::string line = (u.usbSerial.empty() ? u.port : u.usbSerial + " (" + u.port + ")") + "  " +
                       u.time + "  " + u.command + " " + u.outcome;
    if (!u.errorCode.empty()) line += " " + u.errorCode;
    if (u.values) line += "  " + DescribeParams(*u.values);
    if (!u.error.empty()) line += "  " + u.error;
    out += line + "\n";
  }
  return out;
}

int RunReport(const CtlCommand& c) {
  std::vector<RecordSummary> records;
  int bad = 0;
  std::string error;
  if (!ReadRecordSummaries(c.file, &records, &bad, &error)) {
    WriteStderr("zeta7ctl: " + error + "\n");
    return kExitUsage;
  }
  const std::vector<RecordSummary> units = LastOfEachUnit(records);
  if (!WriteStdout(ReportText(units, c.csv)) || !CloseStdout()) {
    WriteStderr(std::string("zeta7ctl: ") + Tr("cannot write to standard output") + "\n");
    return kExitUnitFailed;
  }
  std::string summary =
      "zeta7ctl: " + TrF("%s units (from %s records)",
                         {std::to_string(units.size()), std::to_string(records.size())});
  if (bad > 0) {
    summary += "; " + TrF("skipped %s lines that are not records", {std::to_string(bad)});
  }
  WriteStderr(summary + "\n");
  return kExitDone;
}
