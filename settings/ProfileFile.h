// Whole-file access for the settings file: read it all, or replace it all.
//
// The operating-system side of the private-profile layer; the text rules are
// in ProfileText.h. There is one implementation a platform
// (ProfileFilePosix.cpp, ProfileFileWin32.cpp); both systems share the text
// rules, so a file reads the same on either. Nothing is held open between
// calls. Callers: iniacs, on the user-interface thread.
#pragma once

#include <cstddef>
#include <string>

enum class ProfileReadResult {
  kOk,
  kMissing,  // no file at the path: a write may create it
  kFailed,   // there is something, but it cannot be read as a settings file
};

// A settings file is a few hundred bytes; this bound keeps a stray huge file
// from being loaded into memory. Larger files read as kFailed, so they are
// neither used nor overwritten.
inline constexpr size_t kMaxProfileBytes = 64u * 1024 * 1024;

// The line break of a settings file that has none yet: the platform's own
// ("\r\n" on Windows, "\n" elsewhere). An existing file keeps its own.
extern const char kNewFileLineBreak[];

// Reads the whole regular file at path into *text.
ProfileReadResult ReadProfileFile(const std::string& path, std::string* text);

// Replaces the file at path with text so that a reader sees either the old or
// the new content, never a mix: a temporary file in the same folder is
// written, flushed to disk, given the old file's permission bits or
// attributes (a new POSIX file gets 0666 less the umask) and renamed over the
// target. A read-only file is left alone. On POSIX, when path is a symbolic
// link, the file it leads to is replaced and the link stays. On any failure
// the temporary file is removed, the old file is left as it was and false is
// returned.
//
// The temporary file is ".<name>.zeta7-save-XXXXXX" (and, on Windows, the
// replaced file's copy the same with "~"): the mark keeps a user's own
// ".<name>.backup" or ".<name>.202611" from being taken for a leftover of a
// killed save, which a later save removes once it is a minute old.
bool ReplaceProfileFile(const std::string& path, const std::string& text);

inline constexpr char kSaveTemporaryMark[] = ".zeta7-save-";
inline constexpr size_t kSaveTemporaryRandom = 6;  // the XXXXXX
