#include <windows.h>

#include <cstdlib>

#include "TestFiles.h"

const char kTestPathSeparator = '\\';

std::string MakeTempFolder() {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return {};
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    const std::filesystem::path folder =
        base / ("zeta7-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64() % 100000) + "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(folder, ec)) return folder.u8string();
  }
  return {};
}

// _putenv_s changes the C runtime's copy, which getenv reads, and the
// process environment; an empty value removes the variable.
void SetEnvironmentValue(const char* name, const std::optional<std::string>& value) {
  _putenv_s(name, value ? value->c_str() : "");
}
