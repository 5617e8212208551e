// The Windows program icon, made from the same XPM picture as the Linux
// hicolor icons: ReadXpm parses the picture, Scaled makes each size, and
// EncodeIco packs the sizes into one .ico file (the classic 16-colour entry,
// 32-bit entries with alpha, and PNG for the large one).
//
// Plain functions on values, no toolkit and no OS calls: the Windows cross
// build compiles this for the build machine, where it runs at build time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;  // row by row, top row first

  Picture() = default;
  Picture(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
  const Rgba& At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  Rgba& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Parses the text of an XPM file (the C array form): colours as #RRGGBB or
// None, any number of characters per pixel. False with a one-line reason in
// *error for anything else, and *out untouched.
bool ReadXpm(const std::string& text, Picture* out, std::string* error);

// The square picture scaled to size × size with an exact box filter on
// premultiplied colour: whole multiples of the source stay sharp squares,
// other sizes average each source pixel by the area it covers (the result
// the Linux icons get from Qt's nearest-then-smooth scaling, without the
// intermediate picture). The source must be square and non-empty.
Picture Scaled(const Picture& source, int size);

enum class IcoFormat {
  kClassic16,  // 4 bits a pixel in the standard 16-colour palette, AND mask for transparency
  kBgra32,     // 32 bits a pixel with alpha, plus the AND mask older shells use
  kPng,        // PNG data, what shells since Vista expect for 256 px
};

struct IcoEntry {
  int size = 0;  // 1 to 256
  IcoFormat format = IcoFormat::kBgra32;
};

// The 16-colour palette of the classic entry (the standard VGA colours) and
// the index of the colour nearest to c in it.
const std::vector<Rgba>& ClassicPalette();
int NearestClassicIndex(const Rgba& c);

// A PNG file (8-bit RGBA) of the picture; empty if zlib fails (memory).
std::string EncodePng(const Picture& picture);

// The .ico file: the entries in the order given, each made from the
// source scaled to its size. A pixel with alpha below 128 is transparent in
// the AND mask and in the classic entry. Empty if a PNG entry fails.
std::string EncodeIco(const Picture& source, const std::vector<IcoEntry>& entries);
