#include "CliText.h"

// A locale the environment does not name is the C locale: English.
CliLanguage SystemLanguage() { return CliLanguage::kEnglish; }
