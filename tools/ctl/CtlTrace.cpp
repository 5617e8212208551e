#include "CtlTrace.h"

#include <chrono>
#include <filesystem>

#include "CtlRecord.h"
#include "CtlText.h"

namespace {

long long SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsFolderName(const std::string& path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

}  // namespace

std::string TraceFileName(const std::string& port) {
  std::string name;
  for (char c : port) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
    name += plain ? c : '_';
  }
  return name + ".trace";
}

bool CTraceSink::Open(const std::string& path, std::string* error) {
  std::string reason;
  if (IsFolderName(path)) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(path), ec);
    if (!std::filesystem::is_directory(std::filesystem::u8path(path), ec)) {
      *error = TrF("cannot make the trace folder: %s (%s)",
                   {path, ec ? ec.message() : std::string(Tr(kTextNotRegularFile))});
      return false;
    }
    m_strFolder = path;
    return true;
  }
  if (!m_file.Open(path, &reason)) {
    *error = TrF("cannot open the trace file: %s (%s)", {path, reason});
    return false;
  }
  return true;
}

CRecordFile* CTraceSink::FileOf(const std::string& port, std::string* reason) {
  if (m_strFolder.empty()) return &m_file;
  std::unique_ptr<CRecordFile>& file = m_files[port];
  if (!file) {
    file = std::make_unique<CRecordFile>();
    if (!file->Open(m_strFolder + TraceFileName(port), reason)) return nullptr;
  }
  return file->IsOpen() ? file.get() : nullptr;
}

void CTraceSink::Line(const std::string& port, const std::string& line) {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::string reason;
  CRecordFile* file = FileOf(port, &reason);
  if (file != nullptr && !file->Append(line)) reason = file->Error();
  if (file == nullptr || !reason.empty()) {
    if (!m_bLost) {
      m_strLostReason = (m_strFolder.empty() ? "" : TraceFileName(port) + ": ") + reason;
    }
    m_bLost = true;
  }
}

std::string CTraceSink::LostReason() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strLostReason;
}

bool CTraceSink::Lost() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bLost;
}

CTraceTap::CTraceTap(CTraceSink* sink, const std::string& port, long long startUs)
    : m_pSink(sink), m_strPort(port), m_llStartUs(startUs) {}

long long CTraceTap::NowUs() const { return SteadyUs() - m_llStartUs; }

void CTraceTap::Put(long long us, const char* event, const std::string& text) {
  if (m_pSink == nullptr) return;
  m_pSink->Line(m_strPort,
                std::to_string(us) + "\t" + m_strPort + "\t" + event + "\t" + text + "\n");
}

void CTraceTap::Sent(const std::string& bytes) {
  EndBurst();
  Put(NowUs(), "tx", EscapeBytes(bytes));
}

void CTraceTap::Received(unsigned char byte) {
  if (m_pSink == nullptr) return;
  if (m_strBurst.empty()) m_llBurstUs = NowUs();
  m_strBurst += static_cast<char>(byte);
}

void CTraceTap::EndBurst() {
  if (m_strBurst.empty()) return;
  Put(m_llBurstUs, "rx", EscapeBytes(m_strBurst));
  m_strBurst.clear();
}

void CTraceTap::Event(const char* event, const std::string& text) {
  EndBurst();
  Put(NowUs(), event, text);
}

long long TraceClockUs() { return SteadyUs(); }
