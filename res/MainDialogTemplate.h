// The main dialog's template: its caption, size, font, styles and controls,
// in dialog units, in creation order (which is also the tab order).
//
// Pure data, so the layout can be checked without building a window.
#pragma once

#include <array>

#include "DialogTemplate.h"

enum ControlId : int {
  IDC_STATIC = -1,
  IDC_BUTTON_CONNECT = 1000,
  IDC_BUTTON_DISCONNECT = 1001,
  IDC_COMBO_COMPORT = 1002,
  IDC_BUTTON_READ = 1003,
  IDC_BUTTON_WRITE = 1004,
  IDC_EDIT_CHANNEL = 1005,
  IDC_EDIT_ID = 1007,
  IDC_EDIT_RETRY_COUNT = 1008,
  IDC_EDIT_RETRY_INTERVAL = 1009,
  IDC_CHECK_INFINITE_RETRY = 1010,
  IDC_COMBO_BAUDRATE = 1012,
  IDC_STATIC_VERSION = 1013,
};

inline constexpr int IDD_MAIN_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;

// A drop-down list's height is the height of its opened list.
inline constexpr std::array<DialogItem, 22> kMainDialogItems = {{
    {IDC_COMBO_COMPORT, "IDC_COMBO_COMPORT", ControlKind::kDropList, "", 15, 15, 40, 140,
     0x50210003},
    {IDC_COMBO_BAUDRATE, "IDC_COMBO_BAUDRATE", ControlKind::kDropList, "", 110, 15, 50, 140,
     0x50210003},
    {IDC_BUTTON_CONNECT, "IDC_BUTTON_CONNECT", ControlKind::kPushButton, "接続", 165, 15, 45, 15,
     0x50010000},
    {IDC_BUTTON_DISCONNECT, "IDC_BUTTON_DISCONNECT", ControlKind::kPushButton, "切断", 210, 15, 45,
     15, 0x50010000},
    {IDC_EDIT_CHANNEL, "IDC_EDIT_CHANNEL", ControlKind::kEdit, "", 80, 40, 40, 15, 0x50810080},
    {IDC_EDIT_ID, "IDC_EDIT_ID", ControlKind::kEdit, "", 80, 65, 40, 15, 0x50810080},
    {IDC_CHECK_INFINITE_RETRY, "IDC_CHECK_INFINITE_RETRY", ControlKind::kCheckBox, "無限リトライ",
     80, 85, 60, 10, 0x50010003},
    {IDC_EDIT_RETRY_COUNT, "IDC_EDIT_RETRY_COUNT", ControlKind::kEdit, "", 80, 100, 40, 15,
     0x50810080},
    {IDC_EDIT_RETRY_INTERVAL, "IDC_EDIT_RETRY_INTERVAL", ControlKind::kEdit, "", 80, 120, 40, 15,
     0x50810080},
    {IDC_BUTTON_READ, "IDC_BUTTON_READ", ControlKind::kPushButton, "パラメータ読み込み", 175, 45,
     80, 20, 0x50010000},
    {IDC_BUTTON_WRITE, "IDC_BUTTON_WRITE", ControlKind::kPushButton, "パラメータ書き込み", 175, 70,
     80, 20, 0x50010000},
    {IDC_STATIC, "", ControlKind::kLabel, "チャネル", 5, 40, 70, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kLabel, "ID", 5, 65, 70, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kLabel, "リトライ回数", 5, 90, 70, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kLabel, "リトライ間隔[msec]", 5, 120, 70, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kGroupBox, "COMポート", 5, 5, 255, 30, 0x50000007},
    {IDC_STATIC, "", ControlKind::kLabel, "ボーレート", 64, 16, 43, 14, 0x50020200},
    {IDC_STATIC_VERSION, "IDC_STATIC_VERSION", ControlKind::kSunkenLabel,
     "ここにZETA-7ファームウェアバージョンを表示", 45, 140, 190, 15, 0x50021200},
    {IDC_STATIC, "", ControlKind::kLabel, "(7～46)", 125, 40, 40, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kLabel, "(0～10000)", 125, 100, 40, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kLabel, "(0～15)", 125, 65, 40, 15, 0x50020200},
    {IDC_STATIC, "", ControlKind::kLabel, "(0～32767)", 125, 120, 40, 15, 0x50020200},
}};

// Pop-up, visible, caption, system menu, minimise box, modal frame, font
// given; shown on the task bar; Japanese.
inline constexpr DialogTemplate kMainDialog = {IDD_MAIN_DIALOG,
                                               "ZETA-7設定ユーティリティ",
                                               "ＭＳ ゴシック",
                                               9,
                                               262,
                                               159,
                                               0x90CA00C0u,
                                               0x00040000u,
                                               0x0411,
                                               kMainDialogItems.data(),
                                               kMainDialogItems.size()};
