#include "SimUnit.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "UnitLimits.h"

namespace {

// A whole decimal number with an optional minus sign, nothing around it.
bool ParseStrictInt(const std::string& text, int& value) {
  size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 6) return false;
  for (size_t k = i; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
  }
  value = std::atoi(text.c_str());
  return true;
}

// The bytes of a trace's quoted, escaped text ("\r", "\x00", "\\").
bool Unescape(const std::string& text, std::string& bytes) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  bytes.clear();
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i + 1 >= text.size()) return false;
    const char e = text[i];
    if (e == 'r') {
      bytes += '\r';
    } else if (e == 'n') {
      bytes += '\n';
    } else if (e == '\\' || e == '"') {
      bytes += e;
    } else if (e == 'x' && i + 3 < text.size()) {
      bytes += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseReplay(const std::string& trace, const std::string& wanted, SimReplay& replay,
                 std::string& error) {
  replay.answers.assign(1, {});
  std::string port = wanted;
  bool afterCr = false;
  long long lastUs = 0;
  size_t lineNo = 0;
  for (size_t at = 0; at < trace.size();) {
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    const std::string line = trace.substr(at, end - at);
    at = end + 1;
    ++lineNo;
    if (line.empty()) continue;
    std::vector<std::string> f;
    for (size_t from = 0, tab; f.size() < 3 && (tab = line.find('\t', from)) != std::string::npos;
         from = tab + 1) {
      f.push_back(line.substr(from, tab - from));
      if (f.size() == 3) f.push_back(line.substr(tab + 1));
    }
    if (f.size() != 4) {
      error = "line " + std::to_string(lineNo) + " is not a trace line";
      return false;
    }
    if (port.empty()) port = f[1];
    if (f[1] != port) continue;
    const long long us = std::atoll(f[0].c_str());
    std::string bytes;
    if ((f[2] == "tx" || f[2] == "rx") && !Unescape(f[3], bytes)) {
      error = "line " + std::to_string(lineNo) + ": bytes not in quotes";
      return false;
    }
    if (f[2] == "tx") {
      // Line ends as the unit counts them: CR, LF and CR LF each one.
      for (char c : bytes) {
        if ((c == '\r' || c == '\n') && !(c == '\n' && afterCr)) replay.answers.emplace_back();
        afterCr = c == '\r';
      }
      lastUs = us;
    } else if (f[2] == "rx" || f[2] == "lost") {
      SimReplay::Burst b;
      b.bytes = bytes;
      b.gapMs = replay.answers.back().empty() ? 0 : static_cast<int>((us - lastUs) / 1000);
      b.hangUp = f[2] == "lost";
      replay.answers.back().push_back(b);
      lastUs = us;
    }
  }
  if (port.empty() || replay.answers.size() == 1) {
    error = "no lines sent on " + (port.empty() ? std::string("any port") : port) + " in the trace";
    return false;
  }
  return true;
}

CSimUnit::CSimUnit(const SimOptions& options)
    : m_options(options),
      m_nChannel(options.channel),
      m_nId(options.id),
      m_nRetry(options.retry),
      m_nInterval(options.interval),
      m_random(options.seed) {}

void CSimUnit::Receive(const char* data, size_t n) {
  for (size_t i = 0; i < n && !m_bHungUp; ++i) {
    const char c = data[i];
    if (c == '\n' && m_bAfterCr) {
      // The LF of a CR LF: that line end was answered at the CR.
      m_bAfterCr = false;
      continue;
    }
    m_bAfterCr = c == '\r';
    if (m_options.replaying) {
      if (c == '\r' || c == '\n') Replay(++m_nLineEnds);
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (!m_options.silent && !m_options.noEcho) Queue("\r\n", 0);
      EndLine();
      continue;
    }
    if (!m_options.silent && !m_options.noEcho) Queue(std::string(1, c), 0);
    if (m_strLine.size() < kLineCap) {
      m_strLine += c;
    } else {
      m_bLineTooLong = true;
    }
  }
}

void CSimUnit::EndLine() {
  std::string line;
  line.swap(m_strLine);
  const bool tooLong = m_bLineTooLong;
  m_bLineTooLong = false;
  if (m_options.silent || m_bHungUp) return;
  if (m_options.stream) {
    m_bStreaming = true;
    return;
  }
  const int gap = m_options.slowGapMs;
  if (m_options.garbage) {
    std::uniform_int_distribution<int> length(16, 48);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string noise(static_cast<size_t>(length(m_random)), '\0');
    for (char& c : noise) c = static_cast<char>(byte(m_random));
    Queue(noise, gap);
    return;
  }
  const std::string prompt = m_options.wrongPrompt ? "ZETA7> " : kPrompt;
  if (line.empty()) {
    Queue(prompt, gap);
    return;
  }
  std::string reply = tooLong ? "NG" : Answer(line);
  if (m_options.overlong) {
    static const char kFill[] = "0123456789";
    while (reply.size() < kOverlongReply) reply += kFill[reply.size() % 10];
    Queue(reply, gap);
    return;
  }
  if (m_options.nul) reply.insert(reply.size() / 2, 1, '\0');
  if (m_options.hangup) {
    Queue(reply.substr(0, reply.size() / 2), gap);
    SimByte end;
    end.gapMs = gap;
    end.hangUp = true;
    m_queue.push_back(end);
    m_bHungUp = true;
    return;
  }
  Queue(reply + "\r\n" + prompt, gap);
}

std::string CSimUnit::Answer(const std::string& line) {
  if (line == "V") {
    std::string version = m_options.version;
    if (m_options.lowerV && !version.empty() && version[0] == 'V') {
      version[0] = 'v';
    }
    return version;
  }
  if (line == "R") return ParamReply();
  if (line[0] == 'S' && Store(line)) return m_options.lowerOk ? "ok" : "OK";
  return "NG";
}

std::string CSimUnit::ParamReply() const {
  // Fixed width, the retry count taking what the chosen length asks for:
  // "%2d %2d %5d %5d" gives the unit's usual 17 characters.
  char text[64];
  std::snprintf(text, sizeof text, "%2d %2d %*d %5d", m_nChannel, m_nId, m_options.paramWidth - 12,
                m_nRetry, m_nInterval);
  return text;
}

// "S a b c d", one blank between fields, each value within the unit's range.
bool CSimUnit::Store(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= line.size()) {
    const size_t blank = line.find(' ', start);
    const size_t end = blank == std::string::npos ? line.size() : blank;
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  if (fields.size() != 5 || fields[0] != "S") return false;
  int v[4];
  for (int k = 0; k < 4; ++k) {
    if (!ParseStrictInt(fields[static_cast<size_t>(k) + 1], v[k])) return false;
  }
  if (!kChannelRange.Holds(v[0]) || !kIdRange.Holds(v[1])) return false;
  if (!kRetryCountRange.Holds(v[2]) && v[2] != kInfiniteRetry) return false;
  if (!kRetryIntervalRange.Holds(v[3])) return false;
  // A unit whose parameter memory has failed still acknowledges the line.
  if (m_options.noStore) return true;
  m_nChannel = v[0];
  m_nId = v[1];
  m_nRetry = v[2];
  m_nInterval = v[3];
  return true;
}

void CSimUnit::Replay(size_t lineEnd) {
  if (lineEnd >= m_options.replay.answers.size()) return;
  for (const SimReplay::Burst& b : m_options.replay.answers[lineEnd]) {
    Queue(b.bytes, 0);
    if (!m_queue.empty() && !b.bytes.empty())
      m_queue[m_queue.size() - b.bytes.size()].gapMs = b.gapMs;
    if (b.hangUp) {
      SimByte end;
      end.hangUp = true;
      end.gapMs = b.gapMs;
      m_queue.push_back(end);
      m_bHungUp = true;
      return;
    }
  }
}

void CSimUnit::Queue(const std::string& bytes, int gapMs) {
  for (char c : bytes) {
    SimByte b;
    b.value = static_cast<unsigned char>(c);
    b.gapMs = gapMs;
    m_queue.push_back(b);
  }
}

bool CSimUnit::HasOutput() {
  if (m_queue.empty() && m_bStreaming) {
    // Printable bytes that never form a line end.
    static const char kPattern[] = "ZETA7 stream 0123456789 ";
    Queue(std::string(1, kPattern[m_nStreamPos % (sizeof kPattern - 1)]), 0);
    ++m_nStreamPos;
  }
  return !m_queue.empty();
}

const SimByte& CSimUnit::Front() { return m_queue.front(); }

void CSimUnit::Pop() { m_queue.pop_front(); }
