#include <set>

#include "ComNumbers.h"
#include "PortList.h"

const char kPortMapExample[] = "com1=/dev/ttyUSB1";

const char kPortListSummary[] =
    "COM番号ごとのデバイス、by-id の名前、USB の製品名、記憶された番号か、オープンできるか。\n";

const char kPortListUsage[] =
    "使い方: zeta7-ports [--settings FILE]\n"
    "       zeta7-ports --forget COMn\n"
    "\n"
    "COM番号ごとに、つながるデバイス、その /dev/serial/by-id の名前、USB の製品名、\n"
    "番号がそのデバイスに記憶されているか、このユーザがオープンできるか (できないときは\n"
    "その理由) を表示します。設定ファイルはZETA-7設定ユーティリティと同じものを読みます\n"
    "([ports] が優先)。by-id の名前のあるデバイスは最初に付いた番号を抜き差しや再起動の\n"
    "後も保ちます (記憶はユーザ設定フォルダの com-numbers.conf)。\n"
    "\n"
    "  --settings FILE  この設定ファイルを読む\n"
    "  --forget COMn    COMn の記憶を消す (つながっていれば次に空いている最小の番号になる)\n"
    "  -h, --help       この説明\n"
    "  --version        版数\n";

PortListing DiagnoseListedPorts(const ComMap& map, const DeviceRoots& roots) {
  const ComNumbering numbering = NumberSerialDevices(roots.sys, roots.dev);
  PortListing listing;
  listing.numbersFile = numbering.file;
  listing.numbersError = numbering.error;
  std::set<int> numbers;
  for (int n : ListedComNumbers(map, numbering.present)) numbers.insert(n);
  for (const auto& entry : numbering.remembered) numbers.insert(entry.first);
  for (int n : numbers) {
    ListedPort p;
    p.diagnosis = DiagnoseComPort(n, map, roots.sys, roots.dev);
    if (p.diagnosis.mapKey.empty()) {
      const ComNumberTarget t = ComNumberTargetOf(n, numbering, roots.dev);
      p.identity = t.identity;
      p.remembered = t.remembered;
    }
    listing.ports.push_back(p);
  }
  for (const SerialDevice& d : numbering.present) {
    if (d.comNumber != 0) continue;
    ListedPort p;
    p.diagnosis = DiagnoseDevice(d.path, roots.sys, roots.dev);
    p.identity = d.identity;
    listing.ports.push_back(p);
  }
  return listing;
}

std::string NumbersProblem(const DeviceRoots& roots) {
  return NumberSerialDevices(roots.sys, roots.dev).error;
}

bool ForgetComNumber(int n, std::string* message) {
  const std::string file = ComNumbersFilePath(message);
  if (file.empty()) return false;
  std::string identity;
  ComNumberMap after;
  const bool updated = UpdateComNumbers(
      file,
      [&](ComNumberMap* numbers) {
        const auto it = numbers->find(n);
        if (it == numbers->end()) return;
        identity = it->second;
        numbers->erase(it);
      },
      &after, message);
  if (!updated) return false;
  const std::string com = "COM" + std::to_string(n);
  if (identity.empty()) {
    *message = com + " は記憶されていません (" + file + ")";
    return false;
  }
  *message = com + " の記憶を消しました (" + identity + ")";
  return true;
}

std::string NumbersFileLine(const PortListing& listing) {
  std::string line = "COM番号の記憶: " +
                     (listing.numbersFile.empty() ? std::string("(なし)") : listing.numbersFile);
  if (!listing.numbersError.empty()) line += "\n  " + listing.numbersError;
  return line + "\n";
}

std::string IdentityLines(const ListedPort& p) {
  const PortDiagnosis& d = p.diagnosis;
  std::string lines;
  if (!d.byId.empty()) lines += "      by-id: " + d.byId + "\n";
  if (!d.product.empty()) lines += "      製品: " + d.product + "\n";
  if (!d.mapKey.empty()) return lines;
  if (p.remembered) {
    lines += "      番号: " + p.identity + " に記憶されています\n";
  } else if (d.comNumber == 0) {
    lines += "      番号: まだ付いていません (記憶できません)\n";
  } else {
    lines += "      番号: 記憶されていません (by-id の名前がないので並び順)\n";
  }
  return lines;
}
