// The texts of zeta7ctl: the window's messages (UnitMessages.h) and the
// tool's own, all English texts of the catalogue, shown through Tr().
#pragma once

#include <string>

#include "CliText.h"
#include "UnitMessages.h"

inline constexpr const char* kTextInterrupted = N_("interrupted");
inline constexpr const char* kTextThreadFailed = N_("cannot start a thread");
// What the first and the second Ctrl+C do.
inline constexpr const char* kTextStopping =
    N_("stopping... (press again to stop waiting for replies)");
inline constexpr const char* kTextStopWaiting = N_("no longer waiting for replies");

// Parameter labels as the window shows them.
inline constexpr const char* kLabelChannel = N_("Channel");
inline constexpr const char* kLabelId = N_("ID");
inline constexpr const char* kLabelRetryCount = N_("Retry count");
inline constexpr const char* kLabelRetryInterval = N_("Retry interval[msec]");
inline constexpr const char* kLabelInfinite = N_("Infinite retry");

// Why a file the user named cannot be used, beside the system's words.
inline constexpr const char* kTextFolderNotMade = N_("cannot make the folder");
inline constexpr const char* kTextNotRegularFile = N_("not a regular file");
inline constexpr const char* kTextFifoWithoutReader = N_("a FIFO nobody reads");
inline constexpr const char* kTextNoWriteBit = N_("a file without a single write permission");

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
