#include "UnitOnCom.h"

std::string ComMappingText(int n, const std::string& device) {
  return "[ports]\ncom" + std::to_string(n) + "=" + device + "\n";
}

std::string UnitLinkPath(int, const std::string& picked) { return picked; }

std::string ComHintFor(int, const std::string& link) { return link; }
