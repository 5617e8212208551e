#include "DecimalText.h"

#include <climits>

namespace {

// The white space that isspace() accepts in the C locale.
bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int DecimalToInt(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (IsCSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  // Accumulate as a negative number: its range reaches INT_MIN, which the
  // positive side cannot hold. Once past the limit, keep consuming digits
  // but stay saturated.
  long long acc = 0;
  const long long floor = static_cast<long long>(INT_MIN);
  for (; IsDigit(*p); ++p) {
    if (acc > floor) {
      acc = acc * 10 - (*p - '0');
      if (acc < floor) acc = floor;
    }
  }
  if (negative) return static_cast<int>(acc);
  if (acc < -static_cast<long long>(INT_MAX)) return INT_MAX;
  return static_cast<int>(-acc);
}
