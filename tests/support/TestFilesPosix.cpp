#include <stdlib.h>

#include "TestFiles.h"

const char kTestPathSeparator = '/';

std::string MakeTempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zeta7-test-XXXXXX";
  return ::mkdtemp(&tmpl[0]) != nullptr ? tmpl : std::string();
}

void SetEnvironmentValue(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}
