#include "CEditValue.h"

#include "DecimalText.h"

namespace {

// The typing cap looks at the text through a 16-byte buffer, the
// conversion through a 256-byte one; both keep a byte for the terminator.
constexpr int kTypingBuffer = 16;
constexpr int kConvertBuffer = 256;

constexpr UINT kBackspace = 8;

}  // namespace

CEditValue::~CEditValue() = default;

const AFX_MSGMAP* CEditValue::GetMessageMap() const {
  static const AFX_MSGMAP_ENTRY entries[] = {
      ON_WM_CHAR(&CEditValue::OnChar),
      END_MESSAGE_MAP,
  };
  static const AFX_MSGMAP map = {CEdit::GetThisMessageMap(), entries};
  return &map;
}

void CEditValue::OnChar(UINT nChar, UINT, UINT) {
  if (nChar >= '0' && nChar <= '9') {
    char text[kTypingBuffer];
    const int length = GetWindowText(text, kTypingBuffer);
    if (static_cast<unsigned>(length) >= static_cast<unsigned>(m_nMaxChars)) return;
    Default();
    return;
  }
  if (nChar == kBackspace) Default();
}

int CEditValue::GetValue(int* value) const {
  char text[kConvertBuffer];
  if (GetWindowText(text, kConvertBuffer) == 0) return -2;
  const int n = DecimalToInt(text);
  *value = n;
  return (n < m_nMin || n > m_nMax) ? -1 : 0;
}
