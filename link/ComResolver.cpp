#include "ComResolver.h"

int ComNumberOfName(std::string_view name) {
  // Three digits at most: 1..256, and no overflow on a long name.
  if (name.size() < 4 || name.size() > 6 || name[3] == '0') return 0;
  for (size_t i = 0; i < 3; ++i) {
    if ((name[i] | 0x20) != "com"[i]) return 0;
  }
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n <= kHighestComNumber ? n : 0;
}
