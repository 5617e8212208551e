#include "CZeta7App.h"

#include "CZeta7Dlg.h"

CZeta7App theApp;

CZeta7App::CZeta7App() {
  m_strHelpText =
      "ZETA-7 の設定ユーティリティ: COM ポートとボーレートを選んで ZETA-7 に接続し、\n"
      "ファームウェアバージョンを表示して、動作パラメータ (チャネル、ID、リトライ回数、\n"
      "リトライ間隔) を読み書きします。\n\n"
      "Settings utility of the ZETA-7 radio unit: connects over a COM port, shows the\n"
      "firmware version, reads and writes the unit's operating parameters.\n"
      "The settings file is <program name>.ini beside the program, or\n"
      "$XDG_CONFIG_HOME/Quillbeck/ZETA-7/ (~/.config/Quillbeck/ZETA-7/).\n";
}

BOOL CZeta7App::InitInstance() {
  {
    CZeta7Dlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    // Leaving the scope destroys the dialog, which closes the port.
  }
  return FALSE;
}
