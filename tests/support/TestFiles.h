// Scratch state for tests: a private folder removed with everything in it
// afterwards, whole-file read and write helpers, and an environment variable
// set for one scope. Paths are UTF-8 text on every system; the few
// system-specific steps are in TestFilesPosix.cpp and TestFilesWin32.cpp.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

// '\\' on Windows, '/' elsewhere.
extern const char kTestPathSeparator;

// A new empty folder under the system's temporary folder; "" on failure.
std::string MakeTempFolder();
// Sets name to value, or removes it with nullopt, for this process.
void SetEnvironmentValue(const char* name, const std::optional<std::string>& value);

inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

class CTempDir {
 public:
  CTempDir() : m_strPath(MakeTempFolder()) {
    if (m_strPath.empty()) ADD_FAILURE() << "no temporary folder";
  }
  ~CTempDir() {
    std::error_code ec;
    // Give back write permission that a test may have taken away, so the
    // removal can reach everything.
    std::filesystem::permissions(FsPath(m_strPath), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(FsPath(m_strPath), ec);
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  const std::string& Path() const { return m_strPath; }
  std::string operator/(const std::string& name) const {
    return m_strPath + kTestPathSeparator + name;
  }

 private:
  std::string m_strPath;
};

// Writes text as the whole file, creating missing parent folders.
inline void WriteFile(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(FsPath(path).parent_path(), ec);
  std::ofstream(FsPath(path), std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int EntryCount(const std::string& folder) {
  const std::filesystem::directory_iterator entries(FsPath(folder));
  return static_cast<int>(std::distance(begin(entries), end(entries)));
}

// Sets (or with nullopt unsets) one environment variable and puts the old
// value back at the end of the scope.
class CScopedEnv {
 public:
  CScopedEnv(const char* name, const std::optional<std::string>& value) : m_pszName(name) {
    if (const char* old = std::getenv(name)) m_strOld = old;
    Set(value);
  }
  ~CScopedEnv() { Set(m_strOld); }
  CScopedEnv(const CScopedEnv&) = delete;
  CScopedEnv& operator=(const CScopedEnv&) = delete;

  void Set(const std::optional<std::string>& value) { SetEnvironmentValue(m_pszName, value); }

 private:
  const char* m_pszName;
  std::optional<std::string> m_strOld;
};
