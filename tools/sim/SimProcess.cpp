#include "SimProcess.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::string CSimProcess::ReceivedBytes() const {
  if (m_strLog.empty()) return std::string();
  std::ifstream in(std::filesystem::u8path(m_strLog), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CSimProcess::ReceivedLines() const {
  const std::string bytes = ReceivedBytes();
  std::vector<std::string> lines;
  std::string line;
  bool afterCr = false;
  for (char c : bytes) {
    if (c == '\n' && afterCr) {
      afterCr = false;
      continue;
    }
    afterCr = c == '\r';
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}
