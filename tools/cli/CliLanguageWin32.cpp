#include <windows.h>

#include "CliText.h"

CliLanguage SystemLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? CliLanguage::kJapanese
                                                                    : CliLanguage::kEnglish;
}
