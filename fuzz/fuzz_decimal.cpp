// The locale-free decimal conversion against the C library's.
//
// The conversion promises what strtol with base 10 gives in the C locale,
// clamped to int. Arbitrary bytes, made into a terminated string, go
// through both; the C locale is the process default and nothing here
// changes it.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "DecimalText.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);  // ends in NUL

  long expected = std::strtol(text.c_str(), nullptr, 10);
  if (expected > INT_MAX) expected = INT_MAX;
  if (expected < INT_MIN) expected = INT_MIN;

  FUZZ_CHECK(DecimalToInt(text.c_str()) == static_cast<int>(expected));
  return 0;
}
