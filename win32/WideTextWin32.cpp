#include "WideTextWin32.h"

#include <climits>

namespace win32 {

namespace {

// A first pass that refuses invalid input tells whether the text is exact;
// only then is it converted again with the replacements.
template <class From, class To, class Call>
bool Convert(From from, To* to, Call convert, DWORD strict) {
  to->clear();
  if (from.empty()) return true;
  if (from.size() > static_cast<size_t>(INT_MAX)) return false;
  const int size = static_cast<int>(from.size());
  int n = convert(strict, from.data(), size, nullptr, 0);
  const bool valid = n > 0;
  const DWORD flags = valid ? strict : 0;
  if (!valid) n = convert(0, from.data(), size, nullptr, 0);
  if (n <= 0) return false;
  to->resize(static_cast<size_t>(n));
  if (convert(flags, from.data(), size, &(*to)[0], n) != n) {
    to->clear();
    return false;
  }
  return valid && to->find(typename To::value_type()) == To::npos;
}

}  // namespace

bool ToWide(std::string_view text, std::wstring* wide) {
  return Convert(
      text, wide,
      [](DWORD flags, const char* in, int size, wchar_t* out, int room) {
        return MultiByteToWideChar(CP_UTF8, flags, in, size, out, room);
      },
      MB_ERR_INVALID_CHARS);
}

bool ToUtf8(std::wstring_view wide, std::string* text) {
  return Convert(
      wide, text,
      [](DWORD flags, const wchar_t* in, int size, char* out, int room) {
        return WideCharToMultiByte(CP_UTF8, flags, in, size, out, room, nullptr, nullptr);
      },
      WC_ERR_INVALID_CHARS);
}

std::wstring Wide(std::string_view text) {
  std::wstring wide;
  ToWide(text, &wide);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  std::string text;
  ToUtf8(wide, &text);
  return text;
}

std::string SystemErrorText(DWORD err) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view words = n > 0 && text != nullptr ? std::wstring_view(text, n) : L"";
  while (!words.empty() &&
         (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ')) {
    words.remove_suffix(1);
  }
  const std::string utf8 = Utf8(words);
  LocalFree(text);
  return utf8.empty() ? "error " + std::to_string(err) : utf8;
}

}  // namespace win32
