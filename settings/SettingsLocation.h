// Where the settings file lives.
//
// Beside the program when a file <base>.ini lies there, else in the per-user
// application folder below "Quillbeck/ZETA-7/", created when missing. When the
// per-user folder cannot be had or made, the user is told and the file beside
// the program is used.
#pragma once

#include <functional>
#include <optional>
#include <string>

extern const char* const kMsgUserFolderUnavailable;  // message A
extern const char* const kMsgUserFolderNotCreated;   // message B

// Everything the decision needs from outside, so tests can replace it.
struct LocationServices {
  // The program's own full path; nullopt when it cannot be had.
  std::function<std::optional<std::string>()> programPath;
  std::function<int(const char* path)> fileExists;
  std::function<int(char* buffer, int size)> getUserAppFolder;
  std::function<int(const char* folder)> makeFolder;
  // Shows a message in the dialog's plain box (no icon, OK).
  std::function<void(const std::string& text)> showMessage;
};

// The real services: /proc/self/exe and the UserDirKit library; showMessage
// is left for the caller to set.
LocationServices SystemLocationServices();

// The settings file path, or nullopt when the program's own path is not
// available (then nothing about settings is loaded).
std::optional<std::string> LocateSettingsFile(const LocationServices& services);

// "dir/name.ext" -> "name"; no extension -> the whole name.
std::string BaseNameOf(const std::string& path);
