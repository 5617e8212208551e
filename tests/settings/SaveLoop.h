// What the save loop and the kill test share.
#pragma once

// Makes every later save take the in-place path (no temporary file can be
// made); false where the platform has no such path.
bool ForceInPlaceSaves();

// The in-place loop's n-th value: a seven-digit and a one-digit number in
// turn.
inline int InPlaceValue(int n) { return n % 2 ? 1000000 + n : n % 10; }
