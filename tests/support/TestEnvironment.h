// Every test program starts with the same private surroundings: a per-user
// folder of its own inside the build tree (so no test reads or writes the
// developer's own settings), ZETA7_BIN_DIR naming the folder of the built
// programs, and Qt on its offscreen platform. Done in main() rather than in
// CTest's environment, so that running a test program by hand gets the same.
//
// POSIX: HOME and XDG_CONFIG_HOME. Windows: the roaming application-data
// folder, through a private copy of the user's registry view for this
// process only, and USERPROFILE, APPDATA, LOCALAPPDATA, TEMP and TMP; a
// helper program that a test starts with ZETA7_TEST_APPDATA set gets that
// folder as its application-data folder.
// One implementation a platform (TestEnvironmentPosix.cpp, ...Win32.cpp).
#pragma once

void PrepareTestEnvironment();
