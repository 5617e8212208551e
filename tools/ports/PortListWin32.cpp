#include "PortList.h"

// A driver that names its ports otherwise (a virtual port pair, for one).
const char kPortMapExample[] = "com3=\\\\.\\CNCA0";

const char kPortListSummary[] =
    "COM番号ごとのデバイス、デバイス マネージャーでの名前、オープンできるか。\n";

const char kPortListUsage[] =
    "使い方: zeta7-ports [--settings FILE]\n"
    "\n"
    "COM番号ごとに、つながるデバイス、デバイス マネージャーでの名前、\n"
    "オープンできるか (できないときはその理由) を表示します。\n"
    "設定ファイルはZETA-7設定ユーティリティと同じものを読みます ([ports] が優先)。\n"
    "\n"
    "  --settings FILE  この設定ファイルを読む\n"
    "  -h, --help       この説明\n"
    "  --version        版数\n";

PortListing DiagnoseListedPorts(const ComMap& map, const DeviceRoots& roots) {
  PortListing listing;
  for (int n : ListedComNumbers(map, ListSerialDevices(roots.sys, roots.dev))) {
    listing.ports.push_back({DiagnoseComPort(n, map, roots.sys, roots.dev), {}, false});
  }
  return listing;
}

std::string NumbersProblem(const DeviceRoots&) { return {}; }

bool ForgetComNumber(int, std::string* message) {
  *message = "Windows では COM番号はシステムが決めます (--forget はありません)";
  return false;
}

std::string NumbersFileLine(const PortListing&) { return {}; }

std::string IdentityLines(const ListedPort& p) {
  const PortDiagnosis& d = p.diagnosis;
  return d.product.empty() ? std::string() : "      名前: " + d.product + "\n";
}
