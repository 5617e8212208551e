// iniacs: reads and writes integer keys of the settings file.
//
// A short-lived helper: the dialog makes one for a load and one for a store.
// It never holds the file open; every call names the file by its path, and a
// write replaces the whole file atomically (see Profile.h).
#pragma once

#include <string>

class iniacs {
 public:
  iniacs();
  virtual ~iniacs();

  void SetPath(const std::string& path);
  // The key's integer value, or -1 when the file, section or key is missing.
  int GetInt(const char* section, const char* key) const;
  // Stores value as "%d" text; failures are silent, the old file stays whole.
  void WriteInt(const char* section, const char* key, int value);
  // Raw text of a key; false when the file, section or key is missing.
  bool GetString(const char* section, const char* key, std::string* value) const;

 private:
  std::string m_strPath;
};
