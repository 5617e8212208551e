// settings-save-loop PATH [--in-place]: stores the port number 1, 2, 3 ... in
// the settings file at PATH, one save after the other, and writes one byte
// to standard output after each save. The kill test stops it at random
// moments. --in-place (Windows) makes every save rewrite the file where it
// is, as where the folder takes no new file, with a long and a short value
// in turn so that a save also shortens the file.
#include "SaveLoop.h"

#include <unistd.h>

#include <cstring>

#include "iniacs.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const bool inPlace = argc > 2 && std::strcmp(argv[2], "--in-place") == 0;
  if (inPlace && !ForceInPlaceSaves()) return 2;
  iniacs ini;
  ini.SetPath(argv[1]);
  for (int value = 1;; ++value) {
    ini.WriteInt("com", "com", inPlace ? InPlaceValue(value) : value);
    if (write(1, "+", 1) != 1) return 0;
  }
}
