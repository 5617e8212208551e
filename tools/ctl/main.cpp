// zeta7ctl: the ZETA-7 from the command line (usage: zeta7ctl --help).
#include "CtlMain.h"

int main(int argc, char** argv) { return CtlMain(argc, argv); }
