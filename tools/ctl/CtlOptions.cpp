#include "CtlOptions.h"

#include <algorithm>
#include <iterator>

#include "CtlProfile.h"
#include "CtlText.h"
#include "PortList.h"
#include "SettingsKeys.h"

namespace {

constexpr int kMaxTimeoutMs = 60000;

struct VerbEntry {
  const char* name;
  CtlVerb verb;
};
constexpr VerbEntry kVerbs[] = {
    {"ports", CtlVerb::kPorts}, {"scan", CtlVerb::kScan},       {"info", CtlVerb::kInfo},
    {"read", CtlVerb::kRead},   {"write", CtlVerb::kWrite},     {"save", CtlVerb::kSave},
    {"apply", CtlVerb::kApply}, {"station", CtlVerb::kStation}, {"report", CtlVerb::kReport}};

const char kCommon[] =
    "  -p, --port PORT    COM3 のようなCOM番号かデバイスのパス (繰り返し可)\n"
    "  -b, --baud N       38400, 19200, 9600, 4800 (既定: 設定ファイルの速度)\n"
    "      --pace fixed|fast  fixed: ウィンドウと同じ待ち時間 (既定); fast: 応答が揃い次第\n"
    "      --timeout MS   fast の1回のやり取りのタイムアウト (1〜60000, 既定 1000)\n"
    "      --record FILE  各ユニットの記録を JSON 行で FILE に追記\n"
    "      --json         各ユニットの記録を JSON 行で標準出力に\n"
    "      --settings FILE  この設定ファイルを読む ([ports] と速度)\n"
    "      --trace FILE|DIR/  各ポートの送受信の全バイトを時刻つきで記録\n"
    "      --operator NAME  記録に残す作業者 (既定: ログイン名)\n"
    "  -h, --help         この説明\n";

const char kChange[] =
    "      --check        読んで比べるだけ (\"S\" は送らない); 変わる値を報告\n"
    "      --diff         変わる値を 前 → 後 で表示し、記録に \"diff\" を入れる\n"
    "      --force        ユニットがすでに同じ値でも書き込む\n";

// Digits with an optional minus sign: a number, if perhaps too large.
bool IsWholeNumber(const std::string& text) {
  const size_t from = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > from && std::all_of(text.begin() + static_cast<long>(from), text.end(),
                                           [](char ch) { return ch >= '0' && ch <= '9'; });
}

}  // namespace

const char* VerbName(CtlVerb verb) {
  for (const VerbEntry& v : kVerbs) {
    if (v.verb == verb) return v.name;
  }
  return "";
}

std::string CtlUsage(CtlVerb verb) {
  switch (verb) {
    case CtlVerb::kNone:
      return "使い方: zeta7ctl <コマンド> [オプション]\n"
             "\n"
             "ZETA-7 をコマンドラインから、1台でも多数でも同時に設定します。\n"
             "\n"
             "コマンド:\n"
             "  ports                       COM番号とデバイスの一覧 (zeta7-ports と同じ)\n"
             "  scan  [-p PORT...]          ユニットを探す (4つの速度, ポートは並行)\n"
             "  info  -p PORT...            プロンプトの確認と版数\n"
             "  read  -p PORT...            4つのパラメータを読む\n"
             "  write -p PORT... --channel N --id N --retry N|infinite --interval N\n"
             "                              書き込んで読み戻しで確かめる\n"
             "  save  -p PORT FILE          パラメータをプロファイル FILE に保存\n"
             "  apply FILE -p PORT... | --all\n"
             "                              プロファイルを各ユニットに書き込んで確かめる\n"
             "  apply --plan UNITS.csv      ユニットごとの値を書き込んで確かめる\n"
             "  station FILE | --plan UNITS.csv\n"
             "                              挿されたユニットを次々に設定する (製造ライン)\n"
             "  report RECORDS.jsonl        記録ファイルをユニットごとにまとめる\n"
             "\n"
             "終了コード: 0 全ユニット完了, 1 失敗したユニットか書けなかった出力あり,\n"
             "2 使い方の誤り (何も送信せず), 128+シグナルで中断 (Ctrl+C 130, SIGTERM 143,\n"
             "SIGHUP 129; もう一度の Ctrl+C で応答の待ちを打ち切り)。\n"
             "FILE の - は標準入力 (apply) か標準出力 (save)。-- 以降はファイル名です。\n"
             "各コマンドの説明は zeta7ctl <コマンド> --help。\n"
             "  --version          版数\n";
    case CtlVerb::kPorts:
      return std::string("使い方: zeta7ctl ports [--settings FILE]\n\n") + kPortListSummary;
    case CtlVerb::kScan:
      return "使い方: zeta7ctl scan [-p PORT...] [オプション]\n\n"
             "あるポートすべて (か -p のポート) を並行して、設定ファイルの速度から\n"
             "38400, 19200, 9600, 4800 bit/s を順に試し、プロンプトに応答するユニットの\n"
             "ポート, デバイス, USB のシリアル番号, 速度, 版数を表示します。何も書き込み\n"
             "ません。他のプログラムが使用中のポートは開かずに報告します。\n\n"
             "  -p, --port PORT    COM3 のようなCOM番号かデバイスのパス (繰り返し可)\n"
             "      --timeout MS   速度ごとの待ち時間 (1〜60000, 既定 150)\n"
             "      --record FILE  各ポートの記録を JSON 行で FILE に追記\n"
             "      --json         各ポートの記録を JSON 行で標準出力に\n"
             "      --settings FILE  この設定ファイルを読む ([ports] と速度)\n"
             "      --trace FILE|DIR/  各ポートの送受信の全バイトを時刻つきで記録\n"
             "  -h, --help         この説明\n";
    case CtlVerb::kInfo:
      return std::string(
                 "使い方: zeta7ctl info -p PORT... | --all [オプション]\n\n"
                 "プロンプト \"ZETA7>\" を確かめ、ファームウェアの版数を読みます。\n\n") +
             kCommon + "      --all          プロンプトに応答する全ポート\n";
    case CtlVerb::kRead:
      return std::string(
                 "使い方: zeta7ctl read -p PORT... | --all [オプション]\n\n"
                 "チャネル, ID, リトライ回数 (-1 は無限), リトライ間隔[msec] を読みます。\n\n") +
             kCommon + "      --all          プロンプトに応答する全ポート\n";
    case CtlVerb::kWrite:
      return std::string(
                 "使い方: zeta7ctl write -p PORT... | --all --channel N --id N --retry N|infinite "
                 "--interval N\n\n"
                 "範囲 (チャネル 7〜46, ID 0〜15, リトライ回数 0〜10000 か infinite,\n"
                 "リトライ間隔 0〜32767) を送信前に確かめ、\"S\" で書き込み、\"OK\" の後に\n"
                 "読み戻して同じ値か確かめます。すでに同じ値のユニットには書き込みません。\n\n"
                 "  -c, --channel N\n  -i, --id N\n  -r, --retry N|infinite\n"
                 "  -t, --interval N\n") +
             kChange + kCommon + "      --all          プロンプトに応答する全ポート\n";
    case CtlVerb::kSave:
      return std::string(
                 "使い方: zeta7ctl save -p PORT FILE [オプション]\n\n"
                 "1台のパラメータを読み、プロファイル FILE ([parameters] の channel, id,\n"
                 "retry_count, retry_interval) に保存します。\n\n") +
             kCommon;
    case CtlVerb::kStation:
      return std::string(
                 "使い方: zeta7ctl station FILE [オプション]\n"
                 "        zeta7ctl station --plan UNITS.csv [オプション]\n\n"
                 "挿されたユニットを USB のシリアル番号で見分け、プロファイル FILE か計画の\n"
                 "そのシリアル番号の行の値を apply と同じ手順で書き込んで確かめます。複数の\n"
                 "ユニットを同時に設定します。計画に行のないユニット、シリアル番号が同じ\n"
                 "2台は書き込みません。同じ値を設定済みのユニット (この実行か --record の\n"
                 "記録で) は \"設定済み\" として書き込みません。途中で抜けたユニットは\n"
                 "挿し直すと最初から設定します。端末では1台1行の表示 (緑 完了, 赤 失敗,\n"
                 "黄 設定済み) と結果ごとのベル。Ctrl+C, SIGTERM, SIGHUP で終了します\n"
                 "(設定中のユニットはやり取りを終えて記録; もう一度で待ちを打ち切り)。\n\n"
                 "      --plan UNITS.csv  シリアル番号ごとの値 (port 列は USB のシリアル番号)\n"
                 "      --again        設定済みのユニットも設定する\n"
                 "      --quiet        ベルを鳴らさない\n") +
             kChange + std::string(kCommon).substr(std::string(kCommon).find('\n') + 1);
    case CtlVerb::kReport:
      return "使い方: zeta7ctl report RECORDS.jsonl [--csv]\n\n"
             "記録ファイルをまとめ、1台1行 (USB のシリアル番号, なければポート) で最後の\n"
             "結果, 値, 時刻を表示します。\n\n"
             "      --csv          表計算ソフト向けの CSV (見出しの行つき)\n"
             "  -h, --help         この説明\n";
    case CtlVerb::kApply:
      return std::string(
                 "使い方: zeta7ctl apply FILE -p PORT... | --all [オプション]\n"
                 "        zeta7ctl apply --plan UNITS.csv [オプション]\n\n"
                 "プロファイル FILE を各ユニットに書き込み、読み戻して確かめます。すでに同じ\n"
                 "値のユニットには書き込みません (記録は changed: false)。\n"
                 "UNITS.csv は見出しの行 port,channel,id,retry_count,retry_interval (順不同) と\n"
                 "1台1行; port は COM番号, デバイスのパスか USB のシリアル番号 (by-id の名前の\n"
                 "もの)。計画全体を送信前に確かめます。\n\n"
                 "      --plan UNITS.csv  ユニットごとの値\n") +
             kChange + kCommon + "      --all          プロンプトに応答する全ポート\n";
  }
  return {};
}

bool ParseCtlArgs(int argc, const char* const* argv, CtlCommand* c, std::string* error) {
  *c = CtlCommand();
  std::vector<std::string> positional;
  bool optionsEnded = false;
  bool timeoutGiven = false;
  bool paceGiven = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t eq = arg.find('=');
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      // A subcommand or a file name, whatever it looks like after "--".
    } else if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      hasValue = true;
    } else if (arg.compare(0, 2, "--") != 0 && arg.size() > 2 &&
               std::string("pbcirt").find(arg[1]) != std::string::npos) {
      // "-pCOM1": a short option with its value attached.
      value = arg.substr(2);
      arg.resize(2);
      hasValue = true;
    }
    auto take = [&]() {
      if (hasValue) return true;
      if (i + 1 >= argc) {
        *error = arg + " には値が必要です";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto takeInt = [&](int* target) {
      if (!take()) return false;
      if (!ParseStrictInt(value, target)) {
        *error = IsWholeNumber(value) ? std::string(kTextOutOfRange) + ": " + arg + " " + value
                                      : arg + ": 数ではありません: " + value;
        return false;
      }
      return true;
    };
    auto takeParam = [&](int* target, int bit) {
      c->paramsGiven |= bit;
      return takeInt(target);
    };

    const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
    if (c->verb == CtlVerb::kNone && positional.empty() && !isOption) {
      for (const VerbEntry& v : kVerbs) {
        if (arg == v.name) c->verb = v.verb;
      }
      if (c->verb == CtlVerb::kNone) {
        *error = "不明なコマンドです: " + arg;
        return false;
      }
      continue;
    }
    bool ok = true;
    if (!isOption) {
      positional.push_back(arg);
    } else if (arg == "-h" || arg == "--help") {
      c->help = true;
    } else if (arg == "--version") {
      c->version = true;
    } else if (arg == "-p" || arg == "--port") {
      ok = take();
      if (ok && value.empty()) {
        *error = "ポート名が空です";
        ok = false;
      }
      if (ok) c->ports.push_back(value);
    } else if (arg == "--all") {
      c->all = true;
    } else if (arg == "-b" || arg == "--baud") {
      ok = takeInt(&c->baud);
      if (ok && std::find(std::begin(kBaudRates), std::end(kBaudRates), c->baud) ==
                    std::end(kBaudRates)) {
        *error = std::string(kTextOutOfRange) + ": --baud " + value + " (38400, 19200, 9600, 4800)";
        ok = false;
      }
    } else if (arg == "--pace") {
      paceGiven = true;
      ok = take();
      if (ok && value == "fixed") {
        c->pace = Pace::kFixed;
      } else if (ok && value == "fast") {
        c->pace = Pace::kFast;
      } else if (ok) {
        *error = "--pace は fixed か fast です: " + value;
        ok = false;
      }
    } else if (arg == "--timeout") {
      timeoutGiven = true;
      ok = takeInt(&c->timeoutMs);
      if (ok && (c->timeoutMs < 1 || c->timeoutMs > kMaxTimeoutMs)) {
        *error = std::string(kTextOutOfRange) + ": --timeout " + value + " (1〜60000)";
        ok = false;
      }
    } else if (arg == "--record") {
      ok = take();
      c->recordPath = value;
      if (ok && value.empty()) {
        *error = "--record のファイル名が空です";
        ok = false;
      }
    } else if (arg == "--json") {
      c->json = true;
    } else if (arg == "--force") {
      c->force = true;
    } else if (arg == "--check") {
      c->check = true;
    } else if (arg == "--diff") {
      c->diff = true;
    } else if (arg == "--again") {
      c->again = true;
    } else if (arg == "--quiet") {
      c->quiet = true;
    } else if (arg == "--csv") {
      c->csv = true;
    } else if (arg == "--operator") {
      ok = take();
      c->operatorName = value;
      if (ok && value.empty()) {
        *error = "--operator の名前が空です";
        ok = false;
      }
    } else if (arg == "--plan" || arg == "--trace") {
      ok = take();
      (arg == "--plan" ? c->planPath : c->tracePath) = value;
      if (ok && value.empty()) {
        *error = arg + " のファイル名が空です";
        ok = false;
      }
    } else if (arg == "--settings") {
      ok = take();
      c->settingsPath = value;
    } else if (arg == "-c" || arg == "--channel") {
      ok = takeParam(&c->params.channel, 1);
    } else if (arg == "-i" || arg == "--id") {
      ok = takeParam(&c->params.id, 2);
    } else if (arg == "-r" || arg == "--retry") {
      c->paramsGiven |= 4;
      ok = take();
      if (ok && value == "infinite") {
        c->params.retryCount = -1;
      } else if (ok && !ParseStrictInt(value, &c->params.retryCount)) {
        *error = arg + ": 数か infinite です: " + value;
        ok = false;
      }
    } else if (arg == "-t" || arg == "--interval") {
      ok = takeParam(&c->params.retryInterval, 8);
    } else {
      *error = "不明なオプションです: " + arg;
      ok = false;
    }
    if (!ok) return false;
  }
  if (c->help || c->version) return true;
  if (timeoutGiven && c->pace != Pace::kFast && c->verb != CtlVerb::kScan) {
    *error = "--timeout は --pace fast のときだけ使えます (fixed はウィンドウと同じ待ち時間です)";
    return false;
  }

  const bool station = c->verb == CtlVerb::kStation;
  if ((c->again || c->quiet) && !station) {
    *error = "--again, --quiet は station だけのオプションです";
    return false;
  }
  if (c->csv && c->verb != CtlVerb::kReport) {
    *error = "--csv は report だけのオプションです";
    return false;
  }
  const bool changes = c->verb == CtlVerb::kWrite || c->verb == CtlVerb::kApply || station;
  if (!changes && (c->force || c->check || c->diff)) {
    *error = "--force, --check, --diff は write と apply だけのオプションです";
    return false;
  }
  if (c->force && c->check) {
    *error = "--force と --check は一緒に使えません";
    return false;
  }
  if (!c->planPath.empty() && c->verb != CtlVerb::kApply && !station) {
    *error = "--plan は apply と station だけのオプションです";
    return false;
  }
  if (c->verb == CtlVerb::kScan && !timeoutGiven) c->timeoutMs = kDefaultScanWaitMs;
  if (station && c->all) {
    *error = "station は挿されたユニットを順に設定します (--all も -p も取りません)";
    return false;
  }
  if (c->verb == CtlVerb::kReport) {
    if (positional.size() != 1 || !c->ports.empty() || c->all || c->json ||
        !c->recordPath.empty() || !c->tracePath.empty()) {
      *error = positional.size() != 1 ? "report には記録ファイルが1つ必要です"
                                      : "report は記録ファイルと --csv だけを取ります";
      return false;
    }
    c->file = positional[0];
    return true;
  }
  if (!c->planPath.empty()) {
    if (!positional.empty() || !c->ports.empty() || c->all) {
      *error = "--plan はプロファイルも -p も --all も取りません (ポートは計画の port 列)";
      return false;
    }
    return true;
  }
  if (station && !c->ports.empty()) {
    *error = "station は挿されたユニットを順に設定します (--all も -p も取りません)";
    return false;
  }
  const bool takesFile = c->verb == CtlVerb::kSave || c->verb == CtlVerb::kApply || station;
  if (positional.size() > (takesFile ? 1u : 0u)) {
    *error = "余分な引数です: " + positional.back();
    return false;
  }
  if (takesFile) {
    if (positional.empty()) {
      *error = std::string(VerbName(c->verb)) + " にはプロファイルのファイル名が必要です";
      return false;
    }
    c->file = positional[0];
  }
  const bool writeParams = c->verb == CtlVerb::kWrite;
  if (!writeParams && c->paramsGiven > 0) {
    *error = "--channel, --id, --retry, --interval は write だけのオプションです";
    return false;
  }
  switch (c->verb) {
    case CtlVerb::kNone:
      *error = "コマンドがありません";
      return false;
    case CtlVerb::kPorts:
      if (!c->ports.empty() || c->all) {
        *error = "ports は -p も --all も取りません";
        return false;
      }
      return true;
    case CtlVerb::kScan:
      if (c->all) {
        *error = "scan は -p がなければ全ポートを試します (--all は不要です)";
        return false;
      }
      if (c->baud != 0 || paceGiven) {
        *error = "scan は4つの速度を応答が揃い次第試します (-b も --pace も取りません)";
        return false;
      }
      return true;
    case CtlVerb::kStation:
      return true;
    case CtlVerb::kSave:
      if (c->ports.size() != 1 || c->all) {
        *error = "save はポートを1つだけ取ります (-p PORT)";
        return false;
      }
      return true;
    default:
      break;
  }
  if (c->all == !c->ports.empty()) {
    *error = c->all ? "-p と --all は一緒に使えません" : "ポートがありません (-p PORT か --all)";
    return false;
  }
  if (writeParams) {
    if (c->paramsGiven != 15) {
      *error =
          std::string(kTextEnterParams) + ": --channel, --id, --retry, --interval の4つが必要です";
      return false;
    }
    const std::string range = CheckParamRanges(c->params);
    if (!range.empty()) {
      *error = range;
      return false;
    }
  }
  return true;
}
