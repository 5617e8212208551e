#include "CtlFileArgs.h"

#include "CliText.h"
#include "CtlRecord.h"

bool HasControlCharacter(const std::string& text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string FileNameProblem(const std::string& option, const std::string& name) {
  if (name.empty()) return TrF("the file name of %s is empty", {option});
  if (HasControlCharacter(name)) {
    return TrF("the file name of %s holds a control character: %s", {option, EscapeBytes(name)});
  }
  return {};
}
