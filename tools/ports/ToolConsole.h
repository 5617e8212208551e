// What the command-line tools need of the console: their arguments as UTF-8
// and a way to write UTF-8 text to standard output and standard error. One
// implementation file per platform (ToolConsolePosix.cpp,
// ToolConsoleWin32.cpp).
//
// On Windows the C runtime hands main() its arguments in the ANSI code page
// (a Japanese profile name arrives as "?"), and a console shows bytes in
// its own code page, so there the arguments come from the wide command line
// and text for a console goes out as UTF-16 characters; text for a file or
// a pipe is the UTF-8 bytes everywhere. A write is one whole call, flushed;
// callers serialise writes from several threads themselves.
#pragma once

#include <string>
#include <vector>

// The program's arguments, argv[0] first.
std::vector<std::string> ToolArguments(int argc, char** argv);

// "\x1b[K" in the text erases to the end of the line, on a Windows console
// too. False when the text did not all go out (a full disk, a closed pipe).
bool WriteStdout(const std::string& text);
bool WriteStderr(const std::string& text);
// Flushes and closes standard output, the last step of a tool that must not
// claim output it lost; false when either fails. Nothing may be written to
// standard output after it.
bool CloseStdout();
