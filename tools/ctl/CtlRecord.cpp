#include "CtlRecord.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "CtlPlatform.h"
#include "CtlText.h"

namespace {

// The length of the UTF-8 sequence at text[i], or 0 when the bytes there
// are not one (overlong forms, surrogates and values past U+10FFFF
// included).
size_t Utf8SequenceAt(const std::string& text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(text[i + k]);
    if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
  }
  return n;
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = Utf8SequenceAt(text, i);
    if (n == 0) {
      out += "\ufffd";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  out += '"';
}

struct ParamField {
  const char* key;
  const char* label;
  int UnitParams::*field;
};
constexpr ParamField kParamFields[] = {
    {"channel", kLabelChannel, &UnitParams::channel},
    {"id", kLabelId, &UnitParams::id},
    {"retry_count", kLabelRetryCount, &UnitParams::retryCount},
    {"retry_interval", kLabelRetryInterval, &UnitParams::retryInterval},
};

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

std::string JsonString(const std::string& text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

const char* UnitStateName(UnitState state) {
  switch (state) {
    case UnitState::kUnchanged:
      return "unchanged";
    case UnitState::kUnknown:
      return "unknown";
    case UnitState::kVerified:
      return "verified";
    case UnitState::kDiffers:
      return "differs";
  }
  return "unknown";
}

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
  AppendJsonString(out, r.time);
  out += ",\"command\":";
  AppendJsonString(out, r.command);
  out += ",\"port\":";
  AppendJsonString(out, r.port);
  out += ",\"device\":";
  AppendJsonString(out, r.device);
  out += ",\"baud\":" + std::to_string(r.baud) + ",\"pace\":";
  AppendJsonString(out, r.pace);
  out += ",\"version\":";
  AppendJsonString(out, r.version);
  out += std::string(",\"write_sent\":") + (r.writeSent ? "true" : "false") +
         ",\"ok_received\":" + (r.okReceived ? "true" : "false") + ",\"unit_state\":";
  AppendJsonString(out, UnitStateName(r.state));
  out += ",\"before\":";
  AppendParams(out, r.before);
  out += ",\"after\":";
  AppendParams(out, r.after);
  out += ",\"target\":";
  AppendParams(out, r.target);
  out += std::string(",\"changed\":") + (r.changed ? "true" : "false") +
         ",\"check\":" + (r.check ? "true" : "false");
  if (!r.usbSerial.empty()) {
    out += ",\"usb_serial\":";
    AppendJsonString(out, r.usbSerial);
  }
  out += ",\"outcome\":";
  AppendJsonString(out, OutcomeName(r.outcome));
  out += ",\"error_code\":";
  if (r.errorCode == ErrorCode::kNone) {
    out += "null";
  } else {
    AppendJsonString(out, ErrorCodeName(r.errorCode));
  }
  out += ",\"error\":";
  AppendJsonString(out, r.error);
  if (r.withDiff) {
    // Only the values that differ, each as before and after.
    out += ",\"diff\":{";
    if (r.before && r.target) {
      bool first = true;
      for (const ParamField& f : kParamFields) {
        const int a = (*r.before).*f.field, b = (*r.target).*f.field;
        if (a == b) continue;
        out += std::string(first ? "" : ",") + "\"" + f.key +
               "\":{\"before\":" + std::to_string(a) + ",\"after\":" + std::to_string(b) + "}";
        first = false;
      }
    }
    out += "}";
  }
  out += ",\"elapsed_ms\":" + std::to_string(r.elapsedMs);
  const std::pair<const char*, const std::string*> stamp[] = {{"end_time", &r.endTime},
                                                              {"tool_version", &r.toolVersion},
                                                              {"host", &r.host},
                                                              {"operator", &r.operatorName}};
  for (const auto& [key, text] : stamp) {
    if (text->empty()) continue;
    out += std::string(",\"") + key + "\":";
    AppendJsonString(out, *text);
  }
  if (!r.plan.empty()) {
    out += ",\"plan\":";
    AppendJsonString(out, r.plan);
    if (!r.planSha256.empty()) {
      out += ",\"plan_sha256\":";
      AppendJsonString(out, r.planSha256);
    }
    if (r.planRow > 0) out += ",\"plan_row\":" + std::to_string(r.planRow);
  }
  return out + "}";
}

const char* ErrorCodeName(ErrorCode code) {
  switch (code) {
    case ErrorCode::kNone:
      return nullptr;
    case ErrorCode::kOpenMissing:
      return "open_missing";
    case ErrorCode::kOpenPermission:
      return "open_permission";
    case ErrorCode::kOpenBusy:
      return "open_busy";
    case ErrorCode::kNotSerial:
      return "not_serial";
    case ErrorCode::kOpenFailed:
      return "open_failed";
    case ErrorCode::kNoAnswer:
      return "no_answer";
    case ErrorCode::kNoise:
      return "noise";
    case ErrorCode::kBadPrompt:
      return "bad_prompt";
    case ErrorCode::kBadVersion:
      return "bad_version";
    case ErrorCode::kBadReply:
      return "bad_reply";
    case ErrorCode::kRejected:
      return "rejected";
    case ErrorCode::kVerifyMismatch:
      return "verify_mismatch";
    case ErrorCode::kHangup:
      return "hangup";
    case ErrorCode::kStateUnknown:
      return "state_unknown";
    case ErrorCode::kInterrupted:
      return "interrupted";
    case ErrorCode::kThreadFailed:
      return "thread_failed";
    case ErrorCode::kSaveFailed:
      return "save_failed";
    case ErrorCode::kNoPlanRow:
      return "no_plan_row";
    case ErrorCode::kNoSerial:
      return "no_serial";
    case ErrorCode::kSharedSerial:
      return "shared_serial";
    case ErrorCode::kAlreadyDone:
      return "already_done";
  }
  return "open_failed";
}

void JudgeSteps(const std::vector<StepResult>& steps, bool ok, bool interrupted, ErrorCode failure,
                UnitRecord* r) {
  r->writeSent = false;
  r->okReceived = false;
  bool readBack = false;
  ErrorCode code = failure;
  for (const StepResult& step : steps) {
    if (step.code != ErrorCode::kNone) code = step.code;
    if (step.command.compare(0, 2, "S ") == 0 && step.sent) {
      r->writeSent = true;
      // The window compares as C strings: the text up to a NUL.
      r->okReceived = std::strcmp(step.reply.c_str(), "OK") == 0;
    } else if (r->writeSent && step.command == "R") {
      UnitParams back{};
      if (ParseReadReply(step.reply.c_str(), static_cast<int>(step.reply.size()), &back) ==
          ReadReplyResult::kOk) {
        r->after = back;
        readBack = true;
      }
    }
  }
  if (!r->writeSent) {
    r->state = UnitState::kUnchanged;
  } else if (readBack && r->target) {
    r->state = SameParams(*r->after, *r->target) ? UnitState::kVerified : UnitState::kDiffers;
  } else {
    r->state = UnitState::kUnknown;
  }
  const bool same = r->before && r->target && SameParams(*r->before, *r->target);
  if (r->writeSent) {
    // A unit that said OK and kept its old values has not changed.
    r->changed = !same && !(readBack && r->before && SameParams(*r->after, *r->before));
  } else {
    r->changed = r->check && r->before && r->target && !same;
  }
  if (ok) {
    r->errorCode = ErrorCode::kNone;
  } else if (interrupted) {
    r->errorCode = ErrorCode::kInterrupted;
  } else if (r->state == UnitState::kUnknown &&
             (code == ErrorCode::kNoAnswer || code == ErrorCode::kNoise ||
              code == ErrorCode::kHangup)) {
    // With no verdict from the unit, what it holds matters more to a
    // script than why it fell silent; the text keeps the cause.
    r->errorCode = ErrorCode::kStateUnknown;
  } else {
    r->errorCode = code == ErrorCode::kNone ? ErrorCode::kOpenFailed : code;
  }
}

bool SameParams(const UnitParams& a, const UnitParams& b) {
  return a.channel == b.channel && a.id == b.id && a.retryCount == b.retryCount &&
         a.retryInterval == b.retryInterval;
}

std::string DescribeChange(const UnitParams& before, const UnitParams& after) {
  std::string out;
  for (const ParamField& f : kParamFields) {
    const int a = before.*f.field, b = after.*f.field;
    if (a == b) continue;
    auto text = [&](int v) {
      return f.field == &UnitParams::retryCount && v == -1 ? std::string(Tr("infinite"))
                                                           : std::to_string(v);
    };
    out += (out.empty() ? "" : ", ") + std::string(Tr(f.label)) + " " +
           TrF("%s -> %s", {text(a), text(b)});
  }
  return out.empty() ? Tr("no change") : out;
}

std::string DescribeParams(const UnitParams& p) {
  std::string retry = p.retryCount == -1
                          ? std::string(Tr(kLabelInfinite))
                          : std::string(Tr(kLabelRetryCount)) + " " + std::to_string(p.retryCount);
  return std::string(Tr(kLabelChannel)) + " " + std::to_string(p.channel) + ", " + Tr(kLabelId) +
         " " + std::to_string(p.id) + ", " + retry + ", " + Tr(kLabelRetryInterval) + " " +
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
