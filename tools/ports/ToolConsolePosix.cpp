#include <cstdio>

#include "ToolConsole.h"

std::vector<std::string> ToolArguments(int argc, char** argv) { return {argv, argv + argc}; }

// A terminal here takes UTF-8 and the erase-line sequence as they are.
namespace {

bool WriteTo(std::FILE* stream, const std::string& text) {
  const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  return std::fflush(stream) == 0 && written;
}

}  // namespace

bool WriteStdout(const std::string& text) { return WriteTo(stdout, text); }

bool WriteStderr(const std::string& text) { return WriteTo(stderr, text); }

bool CloseStdout() {
  const bool flushed = std::fflush(stdout) == 0;
  return std::fclose(stdout) == 0 && flushed;
}
