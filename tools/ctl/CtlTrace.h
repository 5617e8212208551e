// The byte trace of a batch (--trace): every byte each unit's port sent and
// received, one line per burst, "<µs>\t<port>\t<event>\t<bytes>", where µs
// counts from the unit's start, the event is tx, rx, open, close, lost or
// end (the unit's outcome, its error code and text),
// and the bytes are escaped as in the records ("\r", "\x00"), so the line
// keeps every byte and reads in any editor. A path ending in "/" (or "\" on
// Windows) is a folder: one file a port there, named after the port. Lines
// go out whole as they happen, so a killed batch leaves what it saw.
//
// The sink is shared by the unit threads and guarded by one mutex; each
// unit's CTraceTap gathers its received bytes into bursts on its own thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "CtlPlatform.h"

class CTraceSink {
 public:
  // False when the file or folder cannot be opened (the folder is made).
  bool Open(const std::string& path, std::string* error);
  // One line; false once a line was lost (the batch then says so).
  void Line(const std::string& port, const std::string& line);
  bool Lost() const;
  // Why the first line was lost, in the system's words.
  std::string LostReason() const;

 private:
  CRecordFile* FileOf(const std::string& port, std::string* reason);

  mutable std::mutex m_mutex;
  std::string m_strFolder;  // empty: one file for every port
  CRecordFile m_file;
  std::map<std::string, std::unique_ptr<CRecordFile>> m_files;
  bool m_bLost = false;
  std::string m_strLostReason;
};

// One unit's view of the sink. Not thread-safe: the unit's thread only.
class CTraceTap {
 public:
  CTraceTap(CTraceSink* sink, const std::string& port, long long startUs);
  ~CTraceTap() { EndBurst(); }

  void Sent(const std::string& bytes);
  void Received(unsigned char byte);
  // Silence, a lost line or an exchange's end: the burst is written.
  void EndBurst();
  void Event(const char* event, const std::string& text);

 private:
  long long NowUs() const;
  void Put(long long us, const char* event, const std::string& text);

  CTraceSink* m_pSink;
  std::string m_strPort;
  long long m_llStartUs;
  std::string m_strBurst;
  long long m_llBurstUs = 0;
};

// The folder's file name for a port: "COM3.trace", "_dev_ttyUSB0.trace".
std::string TraceFileName(const std::string& port);

// The steady clock the taps count from, in microseconds.
long long TraceClockUs();
