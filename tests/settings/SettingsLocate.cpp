// settings-locate: decides the settings file's location as the program does
// at start-up (its own path, UserDirKit.dll imported at load time) and
// writes the result to the file named by ZETA7_LOCATE_OUT: the path (or
// "(none)"), a line feed, then the text of the message shown, if any, and
// "|" with its detail when it has one. The
// user-folder test copies it under the names it needs.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "SettingsLocation.h"
#include "TestEnvironment.h"

int main() {
  PrepareTestEnvironment();
  const char* out = std::getenv("ZETA7_LOCATE_OUT");
  if (out == nullptr) return 2;
  LocationServices services = SystemLocationServices();
  std::string messages;
  services.showMessage = [&messages](const std::string& text, const std::string& detail) {
    messages += text;
    if (!detail.empty()) messages += "|" + detail;
  };
  const std::optional<std::string> path = LocateSettingsFile(services);
  std::FILE* f = std::fopen(out, "wb");
  if (f == nullptr) return 3;
  const std::string text = path.value_or("(none)") + "\n" + messages;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok ? 0 : 4;
}
