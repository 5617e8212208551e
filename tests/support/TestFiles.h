// Scratch state for tests: a private folder removed with everything in it
// afterwards, whole-file read and write helpers, and an environment variable
// set for one scope.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

class CTempDir {
 public:
  CTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zeta7-test-XXXXXX";
    if (::mkdtemp(&tmpl[0]) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    m_strPath = tmpl;
  }
  ~CTempDir() {
    std::error_code ec;
    // Give back write permission that a test may have taken away, so the
    // removal can reach everything.
    std::filesystem::permissions(m_strPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_strPath, ec);
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;

  const std::string& Path() const { return m_strPath; }
  std::string operator/(const std::string& name) const { return m_strPath + "/" + name; }

 private:
  std::string m_strPath;
};

// Writes text as the whole file, creating missing parent folders.
inline void WriteFile(const std::string& path, const std::string& text) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int EntryCount(const std::string& folder) {
  int n = 0;
  for (auto it = std::filesystem::directory_iterator(folder); it != decltype(it)(); ++it) ++n;
  return n;
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

  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(m_pszName, value->c_str(), 1);
    } else {
      ::unsetenv(m_pszName);
    }
  }

 private:
  const char* m_pszName;
  std::optional<std::string> m_strOld;
};
