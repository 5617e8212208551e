// The decimal conversion used for field texts and for the unit's replies:
// leading white space skipped, an optional sign, digits up to the first other
// character; no digits gives 0; beyond the 32-bit range gives the nearest
// limit (as strtol with base 10, clamped to int).
#pragma once

int DecimalToInt(const char* text);
