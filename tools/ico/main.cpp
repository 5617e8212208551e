// zeta7-ico: writes the Windows program icon from the XPM picture.
//
//   zeta7-ico SOURCE.xpm OUT.ico SIZE:FORMAT...      FORMAT: classic, bgra or png
//
// The file appears whole or not at all: it is written beside OUT first and
// renamed over it, so an interrupted build never leaves a short icon for
// the resource compiler.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "IcoFile.h"

namespace {

bool ParseEntry(const std::string& text, IcoEntry* entry) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  char* end = nullptr;
  const long size = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + colon || size < 1 || size > 256) return false;
  const std::string format = text.substr(colon + 1);
  if (format == "classic")
    entry->format = IcoFormat::kClassic16;
  else if (format == "bgra")
    entry->format = IcoFormat::kBgra32;
  else if (format == "png")
    entry->format = IcoFormat::kPng;
  else
    return false;
  entry->size = static_cast<int>(size);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: zeta7-ico SOURCE.xpm OUT.ico SIZE:FORMAT...  (classic, bgra, png)\n");
    return 2;
  }
  std::vector<IcoEntry> entries;
  for (int i = 3; i < argc; ++i) {
    IcoEntry entry;
    if (!ParseEntry(argv[i], &entry)) {
      std::fprintf(stderr, "zeta7-ico: not SIZE:FORMAT (1-256, classic/bgra/png): %s\n", argv[i]);
      return 2;
    }
    entries.push_back(entry);
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::fprintf(stderr, "zeta7-ico: cannot read %s\n", argv[1]);
    return 1;
  }
  Picture picture;
  std::string error;
  if (!ReadXpm(text.str(), &picture, &error)) {
    std::fprintf(stderr, "zeta7-ico: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  if (picture.width != picture.height) {
    std::fprintf(stderr, "zeta7-ico: %s: not a square picture\n", argv[1]);
    return 1;
  }
  const std::string ico = EncodeIco(picture, entries);
  const std::string part = std::string(argv[2]) + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out.write(ico.data(), static_cast<std::streamsize>(ico.size()));
    out.close();
    if (ico.empty() || !out) {
      std::remove(part.c_str());
      std::fprintf(stderr, "zeta7-ico: cannot write %s\n", part.c_str());
      return 1;
    }
  }
  if (std::rename(part.c_str(), argv[2]) != 0) {
    std::remove(part.c_str());
    std::fprintf(stderr, "zeta7-ico: cannot rename %s to %s\n", part.c_str(), argv[2]);
    return 1;
  }
  return 0;
}
