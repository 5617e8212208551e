#include "CtlRecord.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "CtlPlatform.h"
#include "CtlText.h"

namespace {

void AppendJsonString(std::string& out, const std::string& text, bool latin1) {
  out += '"';
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F || (latin1 && c >= 0x80)) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  out += '"';
}

void AppendParams(std::string& out, const std::optional<UnitParams>& params) {
  if (!params) {
    out += "null";
    return;
  }
  out += "{\"channel\":" + std::to_string(params->channel) +
         ",\"id\":" + std::to_string(params->id) +
         ",\"retry_count\":" + std::to_string(params->retryCount) +
         ",\"retry_interval\":" + std::to_string(params->retryInterval) + "}";
}

}  // namespace

const char* OutcomeName(UnitOutcome outcome) {
  switch (outcome) {
    case UnitOutcome::kOk:
      return "ok";
    case UnitOutcome::kFailed:
      return "failed";
    case UnitOutcome::kInterrupted:
      return "interrupted";
    case UnitOutcome::kSkipped:
      return "skipped";
  }
  return "failed";
}

std::string RecordJson(const UnitRecord& r) {
  std::string out = "{\"time\":";
  AppendJsonString(out, r.time, false);
  out += ",\"command\":";
  AppendJsonString(out, r.command, false);
  out += ",\"port\":";
  AppendJsonString(out, r.port, false);
  out += ",\"device\":";
  AppendJsonString(out, r.device, false);
  out += ",\"baud\":" + std::to_string(r.baud) + ",\"pace\":";
  AppendJsonString(out, r.pace, false);
  out += ",\"version\":";
  AppendJsonString(out, r.version, true);
  out += ",\"before\":";
  AppendParams(out, r.before);
  out += ",\"after\":";
  AppendParams(out, r.after);
  out += ",\"outcome\":";
  AppendJsonString(out, OutcomeName(r.outcome), false);
  out += ",\"error\":";
  AppendJsonString(out, r.error, false);
  out += ",\"elapsed_ms\":" + std::to_string(r.elapsedMs) + "}";
  return out;
}

std::string DescribeParams(const UnitParams& p) {
  std::string retry = p.retryCount == -1
                          ? std::string(kLabelInfinite)
                          : std::string(kLabelRetryCount) + " " + std::to_string(p.retryCount);
  return std::string(kLabelChannel) + " " + std::to_string(p.channel) + ", " + kLabelId + " " +
         std::to_string(p.id) + ", " + retry + ", " + kLabelRetryInterval + " " +
         std::to_string(p.retryInterval);
}

std::string EscapeBytes(const std::string& bytes) {
  std::string out = "\"";
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\' || c == '"') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c >= 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02x", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string UtcNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const long ms =
      static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  const std::tm tm = UtcTime(secs);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  return text;
}
