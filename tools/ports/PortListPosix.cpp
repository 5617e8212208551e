#include "PortList.h"

const char kPortMapExample[] = "com1=/dev/ttyUSB1";

const char kPortListSummary[] =
    "COM番号ごとのデバイス、by-id の名前、USB の製品名、オープンできるか。\n";

const char kPortListUsage[] =
    "使い方: zeta7-ports [--settings FILE]\n"
    "\n"
    "COM番号ごとに、つながるデバイス、その /dev/serial/by-id の名前、USB の製品名、\n"
    "このユーザがオープンできるか (できないときはその理由) を表示します。\n"
    "設定ファイルはZETA-7設定ユーティリティと同じものを読みます ([ports] が優先)。\n"
    "\n"
    "  --settings FILE  この設定ファイルを読む\n"
    "  -h, --help       この説明\n"
    "  --version        版数\n";

std::string IdentityLines(const PortDiagnosis& d) {
  std::string lines;
  if (!d.byId.empty()) lines += "      by-id: " + d.byId + "\n";
  if (!d.product.empty()) lines += "      製品: " + d.product + "\n";
  return lines;
}
