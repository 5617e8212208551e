#include "IcoFile.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>

namespace {

// The quoted strings of the C array, in order; comments are skipped so a
// quote inside one does not start a row.
std::vector<std::string> StringLiterals(const std::string& text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 2, "/*") == 0) {
      const std::size_t end = text.find("*/", i + 2);
      i = end == std::string::npos ? text.size() : end + 2;
    } else if (text.compare(i, 2, "//") == 0) {
      const std::size_t end = text.find('\n', i);
      i = end == std::string::npos ? text.size() : end + 1;
    } else if (text[i] == '"') {
      const std::size_t end = text.find('"', i + 1);
      if (end == std::string::npos) break;
      out.push_back(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      ++i;
    }
  }
  return out;
}

bool ParseColour(std::string value, Rgba* out) {
  std::transform(value.begin(), value.end(), value.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  if (value == "none") {
    *out = Rgba{};
    return true;
  }
  if (value.size() != 7 || value[0] != '#' ||
      !std::all_of(value.begin() + 1, value.end(),
                   [](unsigned char ch) { return std::isxdigit(ch) != 0; }))
    return false;
  const unsigned long rgb = std::stoul(value.substr(1), nullptr, 16);
  *out = Rgba{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
              static_cast<std::uint8_t>(rgb), 255};
  return true;
}

void Put16(std::string& s, unsigned v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
void Put32Be(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

bool Opaque(const Rgba& c) { return c.a >= 128; }

// BITMAPINFOHEADER of an icon image: the height counts the colour rows and
// the AND mask rows together.
void PutBitmapHeader(std::string& s, int size, int bits, int coloursUsed) {
  Put32(s, 40);
  Put32(s, static_cast<std::uint32_t>(size));
  Put32(s, static_cast<std::uint32_t>(2 * size));
  Put16(s, 1);
  Put16(s, static_cast<unsigned>(bits));
  Put32(s, 0);  // BI_RGB
  Put32(s, 0);  // image size, may be 0 for BI_RGB
  Put32(s, 0);
  Put32(s, 0);
  Put32(s, static_cast<std::uint32_t>(coloursUsed));
  Put32(s, 0);
}

// Rows bottom up, each padded to four bytes; a set bit is transparent.
void PutAndMask(std::string& s, const Picture& p) {
  const int stride = (p.width + 31) / 32 * 4;
  for (int y = p.height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < p.width; ++x)
      if (!Opaque(p.At(x, y)))
        row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    s += row;
  }
}

std::string ClassicEntry(const Picture& p) {
  std::string s;
  PutBitmapHeader(s, p.width, 4, 16);
  for (const Rgba& c : ClassicPalette()) {
    s += static_cast<char>(c.b);
    s += static_cast<char>(c.g);
    s += static_cast<char>(c.r);
    s += '\0';
  }
  const int stride = (p.width * 4 + 31) / 32 * 4;
  for (int y = p.height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(stride), '\0');
    for (int x = 0; x < p.width; ++x) {
      const Rgba& c = p.At(x, y);
      // Transparent pixels are black under a set mask bit: the screen shows through.
      const int index = Opaque(c) ? NearestClassicIndex(c) : 0;
      row[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? index << 4 : index);
    }
    s += row;
  }
  PutAndMask(s, p);
  return s;
}

std::string Bgra32Entry(const Picture& p) {
  std::string s;
  PutBitmapHeader(s, p.width, 32, 0);
  for (int y = p.height - 1; y >= 0; --y)
    for (int x = 0; x < p.width; ++x) {
      const Rgba& c = p.At(x, y);
      s += static_cast<char>(c.b);
      s += static_cast<char>(c.g);
      s += static_cast<char>(c.r);
      s += static_cast<char>(c.a);
    }
  PutAndMask(s, p);
  return s;
}

void PutPngChunk(std::string& s, const char* type, const std::string& data) {
  Put32Be(s, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  s += body;
  Put32Be(s, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                              static_cast<uInt>(body.size()))));
}

}  // namespace

bool ReadXpm(const std::string& text, Picture* out, std::string* error) {
  const std::vector<std::string> strings = StringLiterals(text);
  if (strings.empty()) {
    *error = "no XPM header";
    return false;
  }
  std::istringstream header(strings[0]);
  int width = 0, height = 0, colours = 0, perPixel = 0;
  if (!(header >> width >> height >> colours >> perPixel) || width < 1 || width > 1024 ||
      height < 1 || height > 1024 || colours < 1 || perPixel < 1 || perPixel > 4) {
    *error = "bad XPM header \"" + strings[0] + "\"";
    return false;
  }
  if (strings.size() != 1 + static_cast<std::size_t>(colours) + static_cast<std::size_t>(height)) {
    *error = "XPM has " + std::to_string(strings.size() - 1) + " rows after the header, expected " +
             std::to_string(colours + height);
    return false;
  }
  std::map<std::string, Rgba> table;
  for (int i = 1; i <= colours; ++i) {
    const std::string& line = strings[static_cast<std::size_t>(i)];
    const std::string key = line.substr(0, static_cast<std::size_t>(perPixel));
    std::istringstream rest(line.size() > key.size() ? line.substr(key.size()) : std::string());
    std::string word, value;
    while (rest >> word)
      if (word == "c" && (rest >> value)) break;
    Rgba colour;
    if (key.size() != static_cast<std::size_t>(perPixel) || value.empty() ||
        !ParseColour(value, &colour)) {
      *error = "XPM colour line \"" + line + "\" is not \"KEY c #RRGGBB\" or \"KEY c None\"";
      return false;
    }
    if (!table.emplace(key, colour).second) {
      *error = "XPM colour key \"" + key + "\" given twice";
      return false;
    }
  }
  Picture picture(width, height);
  for (int y = 0; y < height; ++y) {
    const std::string& row = strings[static_cast<std::size_t>(1 + colours + y)];
    if (row.size() != static_cast<std::size_t>(width) * perPixel) {
      *error = "XPM row " + std::to_string(y + 1) + " has " + std::to_string(row.size()) +
               " characters, expected " + std::to_string(width * perPixel);
      return false;
    }
    for (int x = 0; x < width; ++x) {
      const auto it = table.find(
          row.substr(static_cast<std::size_t>(x) * perPixel, static_cast<std::size_t>(perPixel)));
      if (it == table.end()) {
        *error = "XPM row " + std::to_string(y + 1) + " uses a colour key not in the table";
        return false;
      }
      picture.At(x, y) = it->second;
    }
  }
  *out = std::move(picture);
  return true;
}

Picture Scaled(const Picture& source, int size) {
  // In units of 1/size source pixel (= 1/side output pixel), source pixel s
  // spans [s*size, (s+1)*size) and output pixel o spans [o*side, (o+1)*side).
  const int side = source.width;
  const long long whole = static_cast<long long>(side) * side;
  Picture out(size, size);
  for (int oy = 0; oy < size; ++oy)
    for (int ox = 0; ox < size; ++ox) {
      long long sr = 0, sg = 0, sb = 0, sa = 0;
      for (int sy = oy * side / size; sy < side && sy * size < (oy + 1) * side; ++sy) {
        const long long hy =
            std::min((sy + 1) * size, (oy + 1) * side) - std::max(sy * size, oy * side);
        for (int sx = ox * side / size; sx < side && sx * size < (ox + 1) * side; ++sx) {
          const long long wx =
              std::min((sx + 1) * size, (ox + 1) * side) - std::max(sx * size, ox * side);
          const Rgba& c = source.At(sx, sy);
          const long long w = wx * hy * c.a;
          sr += w * c.r;
          sg += w * c.g;
          sb += w * c.b;
          sa += w;
        }
      }
      Rgba& o = out.At(ox, oy);
      o.a = static_cast<std::uint8_t>((sa + whole / 2) / whole);
      if (sa > 0) {
        o.r = static_cast<std::uint8_t>((sr + sa / 2) / sa);
        o.g = static_cast<std::uint8_t>((sg + sa / 2) / sa);
        o.b = static_cast<std::uint8_t>((sb + sa / 2) / sa);
      }
    }
  return out;
}

const std::vector<Rgba>& ClassicPalette() {
  static const std::vector<Rgba> palette = {
      {0, 0, 0, 255},       {128, 0, 0, 255},   {0, 128, 0, 255},   {128, 128, 0, 255},
      {0, 0, 128, 255},     {128, 0, 128, 255}, {0, 128, 128, 255}, {192, 192, 192, 255},
      {128, 128, 128, 255}, {255, 0, 0, 255},   {0, 255, 0, 255},   {255, 255, 0, 255},
      {0, 0, 255, 255},     {255, 0, 255, 255}, {0, 255, 255, 255}, {255, 255, 255, 255},
  };
  return palette;
}

int NearestClassicIndex(const Rgba& c) {
  const std::vector<Rgba>& palette = ClassicPalette();
  int best = 0;
  long best_distance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = c.r - palette[i].r, dg = c.g - palette[i].g, db = c.b - palette[i].b;
    const long d = dr * dr + dg * dg + db * db;
    if (best_distance < 0 || d < best_distance) {
      best = static_cast<int>(i);
      best_distance = d;
    }
  }
  return best;
}

std::string EncodePng(const Picture& p) {
  std::string raw;
  raw.reserve(static_cast<std::size_t>(p.height) * (1 + 4 * static_cast<std::size_t>(p.width)));
  for (int y = 0; y < p.height; ++y) {
    raw += '\0';  // filter type None
    for (int x = 0; x < p.width; ++x) {
      const Rgba& c = p.At(x, y);
      raw += static_cast<char>(c.r);
      raw += static_cast<char>(c.g);
      raw += static_cast<char>(c.b);
      raw += static_cast<char>(c.a);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                9) != Z_OK)
    return std::string();
  packed.resize(packedSize);

  std::string s("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  Put32Be(header, static_cast<std::uint32_t>(p.width));
  Put32Be(header, static_cast<std::uint32_t>(p.height));
  header +=
      std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, no interlace
  PutPngChunk(s, "IHDR", header);
  PutPngChunk(s, "IDAT", packed);
  PutPngChunk(s, "IEND", std::string());
  return s;
}

std::string EncodeIco(const Picture& source, const std::vector<IcoEntry>& entries) {
  std::vector<std::string> images;
  for (const IcoEntry& entry : entries) {
    const Picture p = Scaled(source, entry.size);
    images.push_back(entry.format == IcoFormat::kClassic16 ? ClassicEntry(p)
                     : entry.format == IcoFormat::kBgra32  ? Bgra32Entry(p)
                                                           : EncodePng(p));
    if (images.back().empty()) return std::string();
  }
  std::string s;
  Put16(s, 0);
  Put16(s, 1);  // icon, not cursor
  Put16(s, static_cast<unsigned>(entries.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int size = entries[i].size;
    const bool classic = entries[i].format == IcoFormat::kClassic16;
    s += static_cast<char>(size >= 256 ? 0 : size);  // 0 stands for 256
    s += static_cast<char>(size >= 256 ? 0 : size);
    s += static_cast<char>(classic ? 16 : 0);
    s += '\0';
    Put16(s, 1);
    Put16(s, classic ? 4 : 32);
    Put32(s, static_cast<std::uint32_t>(images[i].size()));
    Put32(s, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const std::string& image : images) s += image;
  return s;
}
