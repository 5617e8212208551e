// The texts of zeta7ctl. Where the outcome is the window's, the words are
// the window's, so that a technician meets one message for one fault.
#pragma once

#include <string>

inline constexpr const char* kTextOpenFailed = "COM%dがオープンできません。";
inline constexpr const char* kTextPathOpenFailed = "%sがオープンできません。";
inline constexpr const char* kTextNoComm = "ZETA-7と通信できません";
inline constexpr const char* kTextBadComm = "ZETA-7との通信が不正です";
inline constexpr const char* kTextBadData = "受信データが不正です";
inline constexpr const char* kTextWriteFailed = "書き込みに失敗しました";
inline constexpr const char* kTextWriteDone = "書き込み終了";
inline constexpr const char* kTextOutOfRange = "値が有効範囲を超えています";
inline constexpr const char* kTextEnterParams = "パラメータを入力してください";
inline constexpr const char* kTextVersionLine = "ファームウェアバージョン ";
inline constexpr const char* kTextInterrupted = "中断しました";

// Parameter labels as the window shows them.
inline constexpr const char* kLabelChannel = "チャネル";
inline constexpr const char* kLabelId = "ID";
inline constexpr const char* kLabelRetryCount = "リトライ回数";
inline constexpr const char* kLabelRetryInterval = "リトライ間隔[msec]";
inline constexpr const char* kLabelInfinite = "無限リトライ";
inline constexpr const char* kTextThreadFailed = "スレッドを起動できません";

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
