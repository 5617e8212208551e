#include "SaveLoop.h"

bool ForceInPlaceSaves() { return false; }
