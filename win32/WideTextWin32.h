// Text at the Win32 calls, and the system's words for an error. Text is
// UTF-8 inside the program; only the W functions see UTF-16.
//
// One rule for input that is not valid in its encoding (a stray or cut UTF-8
// sequence, an unpaired surrogate): each such unit becomes U+FFFD, and the
// conversion says it was not exact. A NUL inside is not exact either, since
// the system reads a name only up to it. A name given to the system must be
// exact, so those callers refuse on false: a damaged name never opens some
// other file or device. Text that is only shown takes the replaced result
// (Wide, Utf8). Any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

// The converted text in *out, replaced where it had to be; false when it
// was not exact (as above) or too long for the system's calls (*out empty).
bool ToWide(std::string_view text, std::wstring* wide);
bool ToUtf8(std::wstring_view wide, std::string* text);

// The same conversions for text that is only shown.
std::wstring Wide(std::string_view text);
std::string Utf8(std::wstring_view wide);

// The system's words for err, in the user's language and without the line
// break FormatMessage ends them with; "error N" when it has none.
std::string SystemErrorText(DWORD err);

}  // namespace win32
