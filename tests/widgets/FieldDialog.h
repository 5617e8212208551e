// A dialog with one numeric field, for the field's tests and the backend's.
#pragma once

#include "AfxDialog.h"
#include "CEditValue.h"

inline constexpr int kFieldId = 100;
inline constexpr DialogItem kFieldItems[] = {
    {kFieldId, "IDC_FIELD", ControlKind::kEdit, "", 5, 5, 60, 15, 0x50810080u}};
inline constexpr DialogTemplate kFieldDialog = {1, "field", "ＭＳ ゴシック", 9, 80, 30, 0x90CA00C0u,
                                                0, 0x0411,  kFieldItems,     1};

class CFieldDlg : public CDialog {
 public:
  CFieldDlg() : CDialog(kFieldDialog) {}
  CEditValue m_edit;

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, kFieldId, m_edit); }
};
