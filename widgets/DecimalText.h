// The decimal conversion used for field texts and for the unit's replies:
// leading white space skipped, an optional sign, digits up to the first other
// character; no digits gives 0; beyond the 32-bit range gives the nearest
// limit (as strtol with base 10, clamped to int).
//
// It does its own scanning rather than calling strtol, so the result does not
// depend on the process locale (a Qt application sets it from the
// environment) nor on the width of long. A null pointer converts to 0.
#pragma once

int DecimalToInt(const char* text);
