// The texts of zeta7ctl: the window's messages (UnitMessages.h) and the
// tool's own, all English texts of the catalogue, shown through Tr().
#pragma once

#include <string>

#include "CliText.h"
#include "UnitMessages.h"

inline constexpr const char* kTextInterrupted = N_("interrupted");
inline constexpr const char* kTextThreadFailed = N_("cannot start a thread");

// Parameter labels as the window shows them.
inline constexpr const char* kLabelChannel = N_("Channel");
inline constexpr const char* kLabelId = N_("ID");
inline constexpr const char* kLabelRetryCount = N_("Retry count");
inline constexpr const char* kLabelRetryInterval = N_("Retry interval[msec]");
inline constexpr const char* kLabelInfinite = N_("Infinite retry");

// Why a file the user named cannot be used, beside the system's words.
inline constexpr const char* kTextFolderNotMade = "フォルダを作れません";
inline constexpr const char* kTextNotRegularFile = "通常のファイルではありません";
inline constexpr const char* kTextFifoWithoutReader = "読む側のいない FIFO です";
inline constexpr const char* kTextNoWriteBit = "書き込みの許可がひとつもないファイルです";

// A text above with its one "%d" or "%s" filled in.
inline std::string TextWith(const char* pattern, int n) {
  std::string out = pattern;
  const size_t at = out.find("%d");
  if (at != std::string::npos) out.replace(at, 2, std::to_string(n));
  return out;
}
inline std::string TextWith(const char* pattern, const std::string& s) {
  std::string out = pattern;
  const size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, s);
  return out;
}
