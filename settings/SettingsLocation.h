// Where the settings file lives.
//
// Beside the program when a file <base>.ini lies there, else in the per-user
// application folder below "Quillbeck", "ZETA-7", created when missing. When the
// per-user folder cannot be had or made, the user is told and the file beside
// the program is used. Decided once, on the user-interface thread, at dialog
// start-up; paths of any length are handled without truncation.
#pragma once

#include <functional>
#include <optional>
#include <string>

// From the platform file: the separator that joins the folders of a path
// ('\\' on Windows, '/' elsewhere) and the line break inside a message
// ("\r\n" on Windows, "\n" elsewhere).
extern const char kPathSeparator;
// Every character that ends a folder name in a path ("\\/" on Windows, where
// both are accepted, "/" elsewhere).
extern const char kPathSeparators[];
extern const char kMessageLineBreak[];

extern const std::string kMsgUserFolderUnavailable;  // message A, two lines
extern const char* const kMsgUserFolderNotCreated;   // message B

// Everything the decision needs from outside, so tests can replace it.
struct LocationServices {
  // The program's own full path; nullopt when it cannot be had.
  std::function<std::optional<std::string>()> programPath;
  std::function<int(const char* path)> fileExists;
  std::function<int(char* buffer, int size)> getUserAppFolder;
  std::function<int(const char* folder)> makeFolder;
  // The system's reason for the last failed call above, in words; may be
  // left empty.
  std::function<std::string()> lastErrorText;
  // Shows a message in the dialog's plain box (no icon, OK), with what a
  // technician needs to know below it (may be empty). May be left empty,
  // then messages are dropped.
  std::function<void(const std::string& text, const std::string& detail)> showMessage;
};

// The size of the buffer handed to getUserAppFolder: far above any path the
// system can open, so a real folder is never cut short.
inline constexpr int kUserFolderBufferSize = 64 * 1024;

// The real services: the program's own path from the system and the
// UserDirKit library; showMessage is left for the caller to set.
LocationServices SystemLocationServices();

// The settings file path, or nullopt when the program's own path is not
// available (then nothing about settings is loaded). getUserAppFolder is
// called exactly once on every road that has the program's path, even when
// the file beside the program wins.
std::optional<std::string> LocateSettingsFile(const LocationServices& services);

// The program's path from what the system's link to the running program
// says: a program file replaced or removed while it runs reads as
// "<path> (deleted)", and its settings still belong to <path>.
std::string ProgramPathFromLink(const std::string& link,
                                const std::function<bool(const std::string&)>& exists);

// "dir/name.ext" -> "name"; "a.b.c" -> "a.b"; no extension -> the whole name.
// A leading dot is part of the name, not an extension: ".x" -> ".x". The
// folders end at the platform's separator.
std::string BaseNameOf(const std::string& path);
