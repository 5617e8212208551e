#include "ComNumbers.h"

#include <set>

#include "CliText.h"

namespace {

constexpr char kFileHeader[] =
    "# COM numbers that stay with their serial devices: one line a number,\n"
    "# \"COMn identity\" (the /dev/serial/by-id name, or ttyS0 for a legacy port).\n"
    "# Kept by the ZETA-7 utility, zeta7ctl and zeta7-ports; forget one with\n"
    "# zeta7-ports --forget COMn. A [ports] entry of the settings file wins.\n";

std::string LineError(int line, const std::string& text) {
  return TrF("line %s: %s", {std::to_string(line), text});
}

}  // namespace

std::string UsbSerialOfIdentity(const std::string& identity) {
  if (identity.compare(0, 4, "usb-") != 0) return {};
  std::string rest = identity.substr(4);
  const size_t iface = rest.rfind("-if");
  if (iface != std::string::npos) rest.resize(iface);
  const size_t cut = rest.rfind('_');
  return cut == std::string::npos ? std::string() : rest.substr(cut + 1);
}

bool IsIdentityText(const std::string& text) {
  if (text.empty() || text == "." || text == "..") return false;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= ' ' || u == 0x7f || c == '/') return false;
  }
  return true;
}

bool ParseComNumbers(const std::string& text, ComNumberMap* numbers, std::string* error) {
  numbers->clear();
  if (text.find('\0') != std::string::npos) {
    *error = Tr("it holds a NUL character");
    return false;
  }
  std::set<std::string> identities;
  int lineNo = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line = line.substr(first);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    const size_t gap = line.find_first_of(" \t");
    const int n = ComNumberOfName(line.substr(0, gap));
    const size_t idAt = gap == std::string::npos ? gap : line.find_first_not_of(" \t", gap);
    const std::string identity = idAt == std::string::npos ? std::string() : line.substr(idAt);
    if (n == 0 || !IsIdentityText(identity)) {
      *error = LineError(lineNo, TrF("not of the form \"COMn name\": %s", {line}));
      return false;
    }
    if (numbers->count(n) != 0) {
      *error = LineError(lineNo, TrF("%s is there twice", {"COM" + std::to_string(n)}));
      return false;
    }
    if (!identities.insert(identity).second) {
      *error = LineError(lineNo, TrF("%s is there twice", {identity}));
      return false;
    }
    (*numbers)[n] = identity;
  }
  return true;
}

std::string FormatComNumbers(const ComNumberMap& numbers) {
  std::string text = kFileHeader;
  for (const auto& [n, identity] : numbers) {
    text += "COM" + std::to_string(n) + " " + identity + "\n";
  }
  return text;
}

std::vector<int> AssignComNumbers(const std::vector<std::string>& identities,
                                  ComNumberMap* remembered) {
  std::set<int> taken;
  std::map<std::string, int> numberOf;
  for (const auto& [n, identity] : *remembered) {
    taken.insert(n);
    numberOf[identity] = n;
  }
  std::vector<int> numbers(identities.size(), 0);
  // Rule 2 before rule 3: a new identity must not push a device without
  // one to another number.
  int next = 1;
  for (size_t i = 0; i < identities.size(); ++i) {
    if (!identities[i].empty()) continue;
    while (next <= kHighestComNumber && taken.count(next) != 0) ++next;
    if (next > kHighestComNumber) break;
    numbers[i] = next;
    taken.insert(next);
  }
  next = 1;
  std::set<std::string> seen;
  for (size_t i = 0; i < identities.size(); ++i) {
    // One number is never two devices', even for a name given twice.
    if (identities[i].empty() || !seen.insert(identities[i]).second) continue;
    const auto known = numberOf.find(identities[i]);
    if (known != numberOf.end()) {
      numbers[i] = known->second;
      continue;
    }
    while (next <= kHighestComNumber && taken.count(next) != 0) ++next;
    if (next > kHighestComNumber) continue;
    numbers[i] = next;
    taken.insert(next);
    numberOf[identities[i]] = next;
    (*remembered)[next] = identities[i];
  }
  return numbers;
}

int ComNumberOfIdentity(const std::string& identity, const ComNumbering& numbering) {
  if (identity.empty()) return 0;
  for (const auto& [n, remembered] : numbering.remembered) {
    if (remembered == identity) return n;
  }
  return 0;
}
