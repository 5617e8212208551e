// Pre-answers every message box of the program and records what it showed,
// together with the connection controls' enabled state at that moment.
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <deque>
#include <string>
#include <vector>

#include "MessageBoxService.h"

struct RecordedBox {
  QString text;
  QString caption;
  unsigned type;
  std::string controls;  // "Connect Disconnect Read Write COM Speed" as 1/0, e.g. "100011"
};

class BoxRecorder {
 public:
  explicit BoxRecorder(QWidget* dialog) : m_dialog(dialog) {
    MessageBoxService::SetInterceptor([this](const MessageBoxRequest& request) {
      m_boxes.push_back({request.text, request.caption, request.type, Controls()});
      if (m_answers.empty()) return static_cast<int>(IDOK);
      const int answer = m_answers.front();
      m_answers.pop_front();
      return answer;
    });
  }
  ~BoxRecorder() { MessageBoxService::SetInterceptor({}); }

  void Answer(int answer) { m_answers.push_back(answer); }
  const std::vector<RecordedBox>& Boxes() const { return m_boxes; }
  void Clear() { m_boxes.clear(); }

  // The six connection controls, enabled = '1': Connect, Disconnect, Read,
  // Write, COM list, speed list.
  std::string Controls() const {
    std::string pattern;
    for (const char* name : {"IDC_BUTTON_CONNECT", "IDC_BUTTON_DISCONNECT", "IDC_BUTTON_READ",
                             "IDC_BUTTON_WRITE", "IDC_COMBO_COMPORT", "IDC_COMBO_BAUDRATE"}) {
      const QWidget* widget = m_dialog->findChild<QWidget*>(QString::fromLatin1(name));
      pattern += widget && widget->isEnabled() ? '1' : '0';
    }
    return pattern;
  }

 private:
  QWidget* m_dialog;
  std::deque<int> m_answers;
  std::vector<RecordedBox> m_boxes;
};

inline constexpr const char* kDisconnected = "100011";
inline constexpr const char* kOpening = "000000";
inline constexpr const char* kConnected = "011100";
