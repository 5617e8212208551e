#include <cstdio>

#include "ToolConsole.h"

std::vector<std::string> ToolArguments(int argc, char** argv) { return {argv, argv + argc}; }

// A terminal here takes UTF-8 and the erase-line sequence as they are.
void WriteStdout(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WriteStderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}
