// The user's language for the tools' texts. The texts in the code are
// English; po/ja.po holds their Japanese, compiled into the program at
// build time (no locale has to be generated on the machine, and Windows
// needs no gettext runtime). Tr() gives a text in the language chosen at
// start, the English itself where the catalogue has none.
//
// The language is chosen once, on the main thread, before the threads
// start; Tr() then only reads.
#pragma once

#include <initializer_list>
#include <string>

// Marks a text for the catalogue where it is translated later (a table row).
#define N_(text) text

enum class CliLanguage { kEnglish, kJapanese };

// As gettext reads the environment: LC_ALL, else LC_MESSAGES, else LANG
// name the locale; "C" and "POSIX" are English; otherwise LANGUAGE, when
// set, is the list of languages in order of preference. With none of them
// set, the system's choice (Windows: the user's UI language).
CliLanguage LanguageOfEnvironment();
CliLanguage LanguageOfVariables(const char* lcAll, const char* lcMessages, const char* lang,
                                const char* language, CliLanguage system);
// From the platform file: the user's language where the environment says
// nothing (English on Linux, the UI language on Windows).
CliLanguage SystemLanguage();

void SetLanguage(CliLanguage language);
CliLanguage CurrentLanguage();

// The text in the current language, or in the one named.
const char* Tr(const char* english);
const char* TrIn(CliLanguage language, const char* english);
// The text with its "%s" filled in, in order ("%2$s" picks the second).
std::string TrF(const char* english, std::initializer_list<std::string> args);
std::string Fill(const std::string& pattern, std::initializer_list<std::string> args);

// How many entries the Japanese catalogue holds (for the tests).
size_t CatalogueSize();
