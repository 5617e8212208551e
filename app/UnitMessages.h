// The messages of a unit's faults that the window shows and zeta7ctl repeats
// for the same faults, so that a technician meets one message for one
// fault. Defined once, as the English texts of the catalogue (po/ja.po):
// the window always shows their Japanese (WindowText), zeta7ctl shows them
// in the user's language (Tr). Constants only; any thread.
#pragma once

#include "CliText.h"

inline constexpr const char* kTextOpenFailed = N_("Cannot open COM%d.");
inline constexpr const char* kTextPathOpenFailed = N_("Cannot open %s.");
inline constexpr const char* kTextNoComm = N_("Cannot communicate with the ZETA-7");
inline constexpr const char* kTextBadComm = N_("The communication with the ZETA-7 is not valid");
inline constexpr const char* kTextBadData = N_("The received data is not valid");
inline constexpr const char* kTextWriteFailed = N_("Writing failed");
inline constexpr const char* kTextWriteDone = N_("Writing finished");
inline constexpr const char* kTextOutOfRange = N_("The value is outside the valid range");
inline constexpr const char* kTextEnterParams = N_("Enter the parameters");
inline constexpr const char* kTextVersionLine = N_("Firmware version %s");

// The window's text: Japanese whatever the user's language.
inline const char* WindowText(const char* text) { return TrIn(CliLanguage::kJapanese, text); }
