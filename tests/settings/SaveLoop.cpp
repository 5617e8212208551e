// settings-save-loop PATH: stores the port number 1, 2, 3 ... in the
// settings file at PATH, one save after the other, and writes one byte to
// standard output after each save. The kill test stops it at random moments.
#include <unistd.h>

#include "iniacs.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  iniacs ini;
  ini.SetPath(argv[1]);
  for (int value = 1;; ++value) {
    ini.WriteInt("com", "com", value);
    if (write(1, "+", 1) != 1) return 0;
  }
}
