// iniacs: reads and writes integer keys of the settings file.
//
// A short-lived helper: the dialog makes one for a load and one for a store.
// It never holds the file open; every call reads the whole file by its path,
// and a write replaces the whole file atomically (see ProfileFile.h), keeping
// every other byte of it (see ProfileText.h for the text rules). A UTF-16
// file is read and written in UTF-16.
// User-interface thread only; the file is not locked.
#pragma once

#include <string>
#include <utility>
#include <vector>

class iniacs {
 public:
  iniacs();
  virtual ~iniacs();

  void SetPath(const std::string& path);
  // The key's integer value, or -1 when the file, section or key is missing
  // or the value is empty. "42abc" reads 42, "abc" reads 0, "0x10" reads 16;
  // numbers beyond the int range wrap modulo 2^32, as the platform's do.
  int GetInt(const char* section, const char* key) const;
  // Stores value as "%d" text; failures are silent, the old file stays whole.
  // A file that exists but cannot be read is never overwritten.
  void WriteInt(const char* section, const char* key, int value);
  // Raw text of a key (blanks and one pair of quotes around it removed);
  // false when the file, section or key is missing.
  bool GetString(const char* section, const char* key, std::string* value) const;
  // Every key of a section with its raw text, in file order, first of a
  // repeated key only; empty when the file or section is missing. One read
  // of the file for a whole section.
  std::vector<std::pair<std::string, std::string>> GetSection(const char* section) const;

 private:
  std::string m_strPath;
};
