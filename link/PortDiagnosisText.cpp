#include "PortDiagnosis.h"

namespace {

std::string PresentList(const PortDiagnosis& d) {
  if (d.present.empty()) return "シリアルデバイスは一つも見つかりません";
  std::string list = "存在するデバイス:";
  for (const SerialDevice& s : d.present) {
    const std::string com = "COM" + std::to_string(s.comNumber);
    // Windows' own "\\.\COM3" would only repeat the number.
    list += " " + com + (s.path == "\\\\.\\" + com ? "" : "=" + s.path);
  }
  return list;
}

}  // namespace

std::string DescribeDevice(const PortDiagnosis& d) {
  if (d.device.empty()) return "(デバイスなし)";
  if (d.mapKey.empty()) return d.device;
  return d.device + " ([ports] " + d.mapKey + ")";
}

std::string DescribeProblem(const PortDiagnosis& d) {
  switch (d.problem) {
    case PortProblem::kNone:
      return "オープンできます";
    case PortProblem::kNoDevice:
      return "この番号に当たるデバイスがありません (" + PresentList(d) + ")";
    case PortProblem::kMissing:
      return "デバイスがありません (" + PresentList(d) + ")";
    case PortProblem::kPermission:
      // Joining the group of a 0600 device (root's, say) would not help.
      if (!d.groupMayUse) {
        return "アクセス権がありません: このデバイスはグループ \"" + d.group +
               "\" にも読み書きを許していません "
               "(管理者にデバイスのアクセス権を設定してもらってください)";
      }
      if (d.inGroup) {
        return "アクセス権がありません (グループ \"" + d.group + "\" には属しています)";
      }
      return "アクセス権がありません: グループ \"" + d.group +
             "\" に属する必要があります (追加後、ログインし直してください)";
    case PortProblem::kBusy:
      if (d.holderPid == 0) return "他のプログラムが使用中です";
      return "他のプログラムが使用中です (pid " + std::to_string(d.holderPid) + " " +
             d.holderCommand + ")";
    case PortProblem::kNotTerminal:
      return "シリアルデバイスではありません";
    case PortProblem::kOther:
      return "オープンできません: " + d.systemError;
  }
  return {};
}
