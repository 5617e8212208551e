#include "CtlPlan.h"

#include <map>

#include "CliText.h"
#include "ComNumbers.h"
#include "CtlProfile.h"
#include "CtlRecord.h"
#include "ProfileFile.h"
#include "ProfileText.h"
#include "ProgramSettings.h"

namespace {

struct Record {
  int line = 0;
  std::vector<std::string> fields;
};

constexpr const char* kColumns[] = {"port", "channel", "id", "retry_count", "retry_interval"};

// RFC 4180 records with their first line; false (with the line) for a
// quote that never closes.
bool SplitRecords(const std::string& text, std::vector<Record>* records, int* badLine) {
  Record rec;
  std::string field;
  bool quoted = false, wasQuoted = false;
  int line = 1;
  rec.line = 1;
  auto endField = [&] {
    rec.fields.push_back(wasQuoted ? field : TrimBlanks(field));
    field.clear();
    wasQuoted = false;
  };
  auto endRecord = [&] {
    endField();
    bool blank = true;
    for (const std::string& f : rec.fields) blank = blank && f.empty();
    if (!blank) records->push_back(rec);
    rec = Record();
    rec.line = line;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        if (c == '\n') ++line;
        field += c;
      }
      continue;
    }
    if (c == '"' && TrimBlanks(field).empty()) {
      field.clear();
      quoted = wasQuoted = true;
    } else if (c == ',') {
      endField();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++line;
      endRecord();
    } else if (!(wasQuoted && (c == ' ' || c == '\t'))) {
      field += c;
    }
  }
  if (quoted) {
    *badLine = rec.line;
    return false;
  }
  endRecord();
  return true;
}

}  // namespace

std::string PlanErrorText(const std::string& name, const PlanError& e) {
  return e.line == 0 ? name + ": " + e.text
                     : TrF("%s line %s: %s", {name, std::to_string(e.line), e.text});
}

bool ParsePlan(const std::string& raw, std::vector<PlanRow>* rows, std::vector<PlanError>* errors) {
  rows->clear();
  errors->clear();
  auto at = [&](int line, const std::string& what) { errors->push_back({line, what}); };
  std::string text;
  ProfileEncoding encoding;
  if (!ProfileDecode(raw, &text, &encoding)) {
    at(0, Tr("cannot read the character encoding"));
    return false;
  }
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::vector<Record> records;
  int badLine = 0;
  if (!SplitRecords(text, &records, &badLine)) {
    at(badLine, Tr("a quote \" is not closed"));
    return false;
  }
  if (records.empty()) {
    at(0, Tr("no heading line (port,channel,id,retry_count,retry_interval)"));
    return false;
  }
  std::map<std::string, size_t> column;
  const Record& header = records[0];
  for (size_t i = 0; i < header.fields.size(); ++i) {
    const std::string key = AsciiLower(header.fields[i]);
    if (!column.emplace(key, i).second) at(header.line, TrF("column %s is there twice", {key}));
  }
  for (const char* c : kColumns) {
    if (column.count(c) == 0) at(header.line, TrF("no column %s", {c}));
  }
  if (!errors->empty()) return false;
  if (records.size() == 1) {
    at(0, Tr("no unit rows"));
    return false;
  }

  for (size_t r = 1; r < records.size(); ++r) {
    const Record& rec = records[r];
    if (rec.fields.size() > header.fields.size()) {
      at(rec.line, TrF("more columns than the heading (%s columns; the heading has %s)",
                       {std::to_string(rec.fields.size()), std::to_string(header.fields.size())}));
      continue;
    }
    auto value = [&](const char* key) {
      const size_t i = column[key];
      return i < rec.fields.size() ? rec.fields[i] : std::string();
    };
    PlanRow row;
    row.line = rec.line;
    row.port = value("port");
    std::string fault;
    if (row.port.empty()) fault = Tr("no port");
    // A NUL or another control character makes a cell read otherwise to a
    // reviewer than to the program (a port name cut at the NUL, say); line
    // breaks and tabs are text only in a note, never in the port.
    for (size_t i = 0; i < rec.fields.size() && fault.empty(); ++i) {
      const std::string& cell = rec.fields[i];
      const bool strict = i == column["port"];
      for (char ch : cell) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool blank = c == '\t' || c == '\r' || c == '\n';
        if ((c < 0x20 && (strict || !blank)) || c == 0x7F) {
          fault = TrF(
              "column %s holds a control character: %s",
              {AsciiLower(i < header.fields.size() ? header.fields[i] : "?"), EscapeBytes(cell)});
          break;
        }
      }
    }
    struct {
      const char* key;
      int UnitParams::*field;
    } const numbers[] = {{"channel", &UnitParams::channel},
                         {"id", &UnitParams::id},
                         {"retry_count", &UnitParams::retryCount},
                         {"retry_interval", &UnitParams::retryInterval}};
    for (const auto& n : numbers) {
      if (!fault.empty()) break;
      const std::string v = value(n.key);
      if (v.empty()) {
        fault = TrF("no %s", {n.key});
      } else if (n.field == &UnitParams::retryCount && AsciiLower(v) == "infinite") {
        row.params.retryCount = -1;
      } else if (!ParseStrictInt(v, &(row.params.*n.field))) {
        fault = TrF("%s is not a number: %s", {n.key, v});
      }
    }
    if (fault.empty()) fault = CheckParamRanges(row.params);
    if (!fault.empty()) {
      at(rec.line, fault);
      continue;
    }
    rows->push_back(row);
  }
  return errors->empty();
}

bool ReadPlan(const std::string& path, std::vector<PlanRow>* rows, std::vector<PlanError>* errors) {
  errors->clear();
  rows->clear();
  const std::string problem = FileProblem(path);
  std::string raw;
  if (!problem.empty() || ReadProfileFile(path, &raw) != ProfileReadResult::kOk) {
    errors->push_back({0, TrF("the plan file %s",
                              {problem.empty() ? std::string(Tr("cannot be read")) : problem})});
    return false;
  }
  return ParsePlan(raw, rows, errors);
}

std::string UsbSerialOfByIdName(const std::string& name) { return UsbSerialOfIdentity(name); }
