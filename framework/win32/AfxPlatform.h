// The handle types, message numbers and constants of the dialog framework on
// Windows: the system's own, from <windows.h>. The other backends' copy of
// this file defines the same names with the same values, so code written
// against them reads and behaves the same everywhere.
#pragma once

#include <windows.h>
