#include "CtlFileArgs.h"

#include "CtlRecord.h"

bool HasControlCharacter(const std::string& text) {
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string FileNameProblem(const std::string& option, const std::string& name) {
  if (name.empty()) return option + " のファイル名が空です";
  if (HasControlCharacter(name)) {
    return option + " のファイル名に制御文字があります: " + EscapeBytes(name);
  }
  return {};
}
