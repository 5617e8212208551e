#include <set>

#include "CliText.h"
#include "ComNumbers.h"
#include "PortList.h"

const char kPortMapExample[] = "com1=/dev/ttyUSB1";

const char* const kPortListSummary =
    N_("The device of each COM name, its by-id name, its USB product, whether it opens.");

const char* const kPortListDescription =
    N_("Shows for each COM name the device it leads to, its /dev/serial/by-id name, its\n"
       "USB product, whether the number is remembered for that device and whether this\n"
       "user can open it (and if not, why). The settings file is the one the ZETA-7\n"
       "settings utility reads ([ports] comes first). A device with a by-id name keeps\n"
       "the number it got first across replugging and restarts (they are remembered in\n"
       "com-numbers.conf in the user's settings folder).");

const char* const kPortListSynopsis = N_("[--settings FILE]\n       zeta7-ports --forget COMn");

const char* const kPortListForgetHelp =
    N_("forget the number remembered for COMn\n(a unit plugged in gets the lowest free one)");

std::vector<int> RememberedComNumbers() {
  std::string error;
  const std::string file = ComNumbersFilePath(&error);
  ComNumberMap numbers;
  if (file.empty() || !ReadComNumbers(file, &numbers, &error)) return {};
  std::vector<int> out;
  for (const auto& entry : numbers) out.push_back(entry.first);
  return out;
}

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
    *message = TrF("%s is not remembered (%s)", {com, file});
    return false;
  }
  *message = TrF("%s is forgotten (it was remembered for %s)", {com, identity});
  return true;
}

std::string NumbersFileLine(const PortListing& listing) {
  std::string line =
      Tr("COM numbers file: ") +
      (listing.numbersFile.empty() ? std::string(Tr("(none)")) : listing.numbersFile);
  if (!listing.numbersError.empty()) line += "\n  " + listing.numbersError;
  return line + "\n";
}

std::string IdentityLines(const ListedPort& p) {
  const PortDiagnosis& d = p.diagnosis;
  std::string lines;
  if (!d.byId.empty()) lines += "      by-id: " + d.byId + "\n";
  if (!d.product.empty()) lines += std::string("      ") + Tr("Product: ") + d.product + "\n";
  if (!d.mapKey.empty()) return lines;
  lines += std::string("      ") + Tr("Number: ");
  if (p.remembered) {
    lines += TrF("remembered for %s", {p.identity}) + "\n";
  } else if (d.comNumber == 0) {
    lines += std::string(Tr("none yet (it cannot be remembered)")) + "\n";
  } else {
    lines += std::string(Tr("not remembered (no by-id name, so the order counts)")) + "\n";
  }
  return lines;
}
