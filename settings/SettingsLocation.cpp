#include "SettingsLocation.h"

#include <cstring>
#include <vector>

#include "AppFolderNames.h"

const std::string kMsgUserFolderUnavailable = std::string("Windowsのバージョンの取得もしくは") +
                                              kMessageLineBreak +
                                              "アプリケーションフォルダの取得に失敗しました。";
const char* const kMsgUserFolderNotCreated = "ユーザアプリケーションフォルダの生成に失敗しました。";

namespace {

constexpr const char* kSettingsExtension = ".ini";

// The folder part of path with its trailing separator, or "" for a bare name.
std::string FolderPartOf(const std::string& path) {
  const size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void Show(const LocationServices& services, const std::string& text,
          const std::string& detail = {}) {
  if (services.showMessage) services.showMessage(text, detail);
}

}  // namespace

std::string ProgramPathFromLink(const std::string& link,
                                const std::function<bool(const std::string&)>& exists) {
  static const std::string kDeleted = " (deleted)";
  if (link.size() <= kDeleted.size() ||
      link.compare(link.size() - kDeleted.size(), kDeleted.size(), kDeleted) != 0 || exists(link)) {
    return link;
  }
  return link.substr(0, link.size() - kDeleted.size());
}

std::string BaseNameOf(const std::string& path) {
  const size_t slash = path.find_last_of(kPathSeparators);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name;
  return name.substr(0, dot);
}

std::optional<std::string> LocateSettingsFile(const LocationServices& services) {
  const std::optional<std::string> program = services.programPath();
  if (!program) return std::nullopt;

  const std::string base = BaseNameOf(*program);
  const std::string beside = FolderPartOf(*program) + base + kSettingsExtension;

  // Zero-filled, so a library that reports success without writing anything
  // leaves an empty text, which counts as failure.
  std::vector<char> buffer(kUserFolderBufferSize, '\0');
  if (services.fileExists(beside.c_str()) == 1) {
    // Asked even though the answer is not used, so the library's own checks
    // run on every start.
    services.getUserAppFolder(buffer.data(), kUserFolderBufferSize);
    return beside;
  }

  const int result = services.getUserAppFolder(buffer.data(), kUserFolderBufferSize);
  // A library that forgets the NUL must not make us read past the buffer.
  const size_t length = strnlen(buffer.data(), buffer.size());
  if (result == -1 || length == 0) {
    Show(services, kMsgUserFolderUnavailable);
    return beside;
  }

  std::string folder(buffer.data(), length);
  if (folder.back() != kPathSeparator) folder += kPathSeparator;
  folder.append(kMakerFolder).append(1, kPathSeparator);
  folder.append(kProductFolder).append(1, kPathSeparator);
  if (services.makeFolder(folder.c_str()) != 0) {
    const std::string reason = services.lastErrorText ? services.lastErrorText() : std::string();
    Show(services, kMsgUserFolderNotCreated,
         "フォルダ: " + folder + (reason.empty() ? "" : kMessageLineBreak + ("理由: " + reason)));
    return beside;
  }
  return folder + base + kSettingsExtension;
}
