#include "PortList.h"

#include <set>

#include "ComResolver.h"

std::vector<int> ListedComNumbers(const ComMap& map, const std::vector<SerialDevice>& present) {
  std::set<int> numbers;
  for (const auto& entry : map) numbers.insert(entry.first);
  for (const SerialDevice& d : present) {
    if (d.comNumber != 0) numbers.insert(d.comNumber);
  }
  return {numbers.begin(), numbers.end()};
}

std::string FormatPortList(const ProgramSettings& settings, const PortListing& listing) {
  std::string out = "設定ファイル: ";
  if (settings.path.empty()) {
    out += "(場所が分かりません)\n";
  } else {
    out += settings.path + (settings.exists ? "\n" : " (まだありません)\n");
  }
  out += NumbersFileLine(listing);
  if (listing.ports.empty()) out += "シリアルデバイスが見つかりません。\n";
  for (const ListedPort& p : listing.ports) {
    const PortDiagnosis& d = p.diagnosis;
    out += (d.comNumber == 0 ? std::string("番号なし") : "COM" + std::to_string(d.comNumber)) +
           "  " + DescribeDevice(d) + "\n";
    out += IdentityLines(p);
    out += "      " + DescribeProblem(d) + "\n";
  }
  out += std::string("\n設定ファイルの [ports] セクションの comN=デバイス (例: ") +
         kPortMapExample + ") は、\nその番号についてこの一覧の並びより優先されます。\n";
  return out;
}
