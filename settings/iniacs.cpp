#include "iniacs.h"

#include <cstdio>

#include "ProfileFile.h"
#include "ProfileText.h"

namespace {

constexpr int kDefaultInt = -1;

bool ReadText(const std::string& path, std::string* text) {
  std::string raw;
  ProfileEncoding encoding;
  return !path.empty() && ReadProfileFile(path, &raw) == ProfileReadResult::kOk &&
         ProfileDecode(raw, text, &encoding);
}

}  // namespace

iniacs::iniacs() = default;
iniacs::~iniacs() = default;

void iniacs::SetPath(const std::string& path) { m_strPath = path; }

int iniacs::GetInt(const char* section, const char* key) const {
  std::string value;
  if (!GetString(section, key, &value)) return kDefaultInt;
  return ProfileParseInt(value, kDefaultInt);
}

void iniacs::WriteInt(const char* section, const char* key, int value) {
  if (section == nullptr || key == nullptr || m_strPath.empty()) return;
  char number[16];
  std::snprintf(number, sizeof number, "%d", value);

  std::string raw;
  switch (ReadProfileFile(m_strPath, &raw)) {
    case ProfileReadResult::kOk:
    case ProfileReadResult::kMissing:
      break;
    case ProfileReadResult::kFailed:
      return;  // writing now would throw away whatever is there
  }
  std::string text;
  ProfileEncoding encoding;
  if (!ProfileDecode(raw, &text, &encoding)) return;  // the same: not ours to rewrite
  const std::optional<std::string> edited =
      ProfileSetValue(text, section, key, number, kNewFileLineBreak);
  if (!edited || !ProfileEncode(*edited, encoding, &raw)) return;
  ReplaceProfileFile(m_strPath, raw);
}

bool iniacs::GetString(const char* section, const char* key, std::string* value) const {
  if (section == nullptr || key == nullptr || value == nullptr) return false;
  std::string text;
  if (!ReadText(m_strPath, &text)) return false;
  std::optional<std::string> found = ProfileFindValue(text, section, key);
  if (!found) return false;
  *value = std::move(*found);
  return true;
}

std::vector<std::pair<std::string, std::string>> iniacs::GetSection(const char* section) const {
  std::string text;
  if (section == nullptr || !ReadText(m_strPath, &text)) return {};
  return ProfileSectionEntries(text, section);
}
