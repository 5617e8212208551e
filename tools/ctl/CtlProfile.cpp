#include "CtlProfile.h"

#include <climits>
#include <optional>

#include "CtlText.h"
#include "ProfileFile.h"
#include "ProfileText.h"

namespace {

struct Key {
  const char* name;
  int UnitParams::*field;
  int low;
  int high;
};

constexpr Key kKeys[] = {
    {"channel", &UnitParams::channel, 7, 46},
    {"id", &UnitParams::id, 0, 15},
    {"retry_count", &UnitParams::retryCount, 0, 10000},
    {"retry_interval", &UnitParams::retryInterval, 0, 32767},
};

constexpr int kInfiniteRetry = -1;

bool InRange(const Key& key, int value) {
  if (key.field == &UnitParams::retryCount && value == kInfiniteRetry) return true;
  return value >= key.low && value <= key.high;
}

std::string RangeText(const Key& key) {
  std::string text = std::to_string(key.low) + "〜" + std::to_string(key.high);
  if (key.field == &UnitParams::retryCount) text += " または -1 (無限)";
  return text;
}

}  // namespace

bool ParseStrictInt(const std::string& text, int* value) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 10) return false;
  long long v = 0;
  for (size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    v = v * 10 + (text[k] - '0');
  }
  if (i == 1) v = -v;
  if (v < INT_MIN || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

std::string CheckParamRanges(const UnitParams& params) {
  for (const Key& key : kKeys) {
    const int value = params.*key.field;
    if (!InRange(key, value)) {
      return std::string(kTextOutOfRange) + ": " + key.name + " = " + std::to_string(value) + " (" +
             RangeText(key) + ")";
    }
  }
  return {};
}

bool ReadProfile(const std::string& path, UnitParams* params, std::string* error) {
  std::string text;
  switch (ReadProfileFile(path, &text)) {
    case ProfileReadResult::kOk:
      break;
    case ProfileReadResult::kMissing:
      *error = "プロファイルがありません: " + path;
      return false;
    case ProfileReadResult::kFailed:
      *error = "プロファイルを読めません: " + path;
      return false;
  }
  UnitParams read{};
  for (const Key& key : kKeys) {
    const std::optional<std::string> value = ProfileFindValue(text, kProfileSection, key.name);
    if (!value || value->empty()) {
      *error = std::string(kTextEnterParams) + ": " + path + ": [" + kProfileSection + "] " +
               key.name + " がありません";
      return false;
    }
    if (!ParseStrictInt(*value, &(read.*key.field))) {
      *error = "プロファイルの値が数ではありません: " + path + ": " + key.name + " = " + *value;
      return false;
    }
  }
  const std::string range = CheckParamRanges(read);
  if (!range.empty()) {
    *error = range + ": " + path;
    return false;
  }
  *params = read;
  return true;
}

bool WriteProfile(const std::string& path, const UnitParams& params, std::string* error) {
  std::string text;
  switch (ReadProfileFile(path, &text)) {
    case ProfileReadResult::kOk:
    case ProfileReadResult::kMissing:
      break;
    case ProfileReadResult::kFailed:
      *error = "プロファイルを読めないので上書きしません: " + path;
      return false;
  }
  for (const Key& key : kKeys) {
    std::optional<std::string> edited =
        ProfileSetValue(text, kProfileSection, key.name, std::to_string(params.*key.field));
    if (!edited) {
      *error = "プロファイルを作れません: " + path;
      return false;
    }
    text = std::move(*edited);
  }
  if (!ReplaceProfileFile(path, text)) {
    *error = "プロファイルを書けません: " + path;
    return false;
  }
  return true;
}
