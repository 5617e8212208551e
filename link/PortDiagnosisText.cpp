#include "CliText.h"
#include "PortDiagnosis.h"

namespace {

std::string PresentList(const PortDiagnosis& d, CliLanguage language) {
  if (d.present.empty()) return TrIn(language, "no serial device is present");
  std::string list;
  for (const SerialDevice& s : d.present) {
    // A device the numbering could not give a number keeps only its path.
    if (s.comNumber < 1) {
      list += " " + s.path;
      continue;
    }
    const std::string com = "COM" + std::to_string(s.comNumber);
    // Windows' own "\\.\COM3" would only repeat the number.
    list += " " + com + (s.path == "\\\\.\\" + com ? "" : "=" + s.path);
  }
  return Fill(TrIn(language, "devices present:%s"), {list});
}

}  // namespace

std::string DescribeDevice(const PortDiagnosis& d, CliLanguage language) {
  if (d.device.empty()) return TrIn(language, "(no device)");
  if (d.mapKey.empty()) return d.device;
  return d.device + " ([ports] " + d.mapKey + ")";
}

std::string DescribeProblem(const PortDiagnosis& d, CliLanguage language) {
  switch (d.problem) {
    case PortProblem::kNone:
      return TrIn(language, "can be opened");
    case PortProblem::kNoDevice:
      return Fill(TrIn(language, "no device has this number (%s)"), {PresentList(d, language)});
    case PortProblem::kMissing:
      return Fill(TrIn(language, "the device is not there (%s)"), {PresentList(d, language)});
    case PortProblem::kPermission:
      // Joining the group of a 0600 device (root's, say) would not help.
      if (!d.groupMayUse) {
        return Fill(TrIn(language,
                         "no permission: not even the group \"%s\" may read and write this "
                         "device (ask the administrator to set its permissions)"),
                    {d.group});
      }
      if (d.inGroup) {
        return Fill(TrIn(language, "no permission (you are in the group \"%s\")"), {d.group});
      }
      return Fill(TrIn(language,
                       "no permission: you must be in the group \"%s\" (log in again after "
                       "joining it)"),
                  {d.group});
    case PortProblem::kBusy:
      if (d.holderPid == 0) return TrIn(language, "another program is using it");
      return Fill(TrIn(language, "another program is using it (pid %s %s)"),
                  {std::to_string(d.holderPid), d.holderCommand});
    case PortProblem::kNotTerminal:
      return TrIn(language, "not a serial device");
    case PortProblem::kOther:
      return Fill(TrIn(language, "cannot open: %s"), {d.systemError});
  }
  return {};
}
