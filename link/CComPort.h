// CComPort: the serial line to the unit.
//
// A thin wrapper over one COM device: it opens port n with the line format
// stored by Reopen, sets reads that never wait and writes that are bounded in
// time, drives RTS, and moves bytes. Results are plain ints (1 success,
// 0 failure or closed port) because the dialog code tests them that way.
//
// The operating-system calls live in one file per platform behind
// PortSystem.h; this class holds the rules (what is checked, what is not,
// what a closed port answers). It is owned by value by the main dialog and
// used from the user-interface thread only.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "CliText.h"
#include "PortSystem.h"
#include "PortWait.h"

class CComPort {
 public:
  CComPort();
  ~CComPort();
  CComPort(const CComPort&) = delete;
  CComPort& operator=(const CComPort&) = delete;

  // 1 when COM port n (1..256) is open and its time-outs are set. A failure
  // at the time-outs returns 0 with the device still held, until Close.
  // The device for n comes from the map, else from ComResolver.h (Windows:
  // "\\.\COMn").
  int Open(int n);
  // Closes, stores the line format for this and later Opens, then Open(n).
  int Reopen(int n, int baud, int byteSize, int parity, int stopBits);
  void Close();

  // Stores rts and dtr as given (SetRts goes by the stored rts) and raises
  // or drops both lines. 0 when closed, else 1.
  int SetLineControl(int rts, int dtr);
  // Raises (on != 0) or drops RTS; 0 without touching the line when closed
  // or when the last SetLineControl had rts 0, else 1.
  int SetRts(int on);

  // Up to n bytes into buf (at least n + 1 bytes), NUL after them. 0 when
  // closed, -1 on a platform failure, else the count (possibly 0).
  int Read(char* buf, int n);
  // 256 + byte value when a byte was waiting, else 0.
  int ReadByte();
  // 1 when the n bytes were written and have left the driver, within
  // 1000 * n + 1000 ms; 0 when closed, on failure or past that deadline.
  // 256 + byte value once a byte arrives within ms; 0 when none did or the
  // port is closed; -1 when the line is gone (hang-up, device error).
  int WaitByte(int ms);
  int Write(const char* buf, int n);
  int WriteString(const char* s);
  // Whether the last write on the open port failed and, if so, the
  // handshakes the driver had on that can hold output back, in the language
  // asked for, joined by ", " (empty: none).
  bool LastWriteFailed() const { return m_bWriteFailed; }
  std::string FlowControlAtFailure(CliLanguage language) const;

  bool IsOpen() const { return m_handle != kNoPort; }
  // Why the last Open returned 0, as the failing call decided it
  // (kNotTerminal: the device is held but takes no line settings).
  const PortOpenError& LastOpenError() const { return m_openError; }

  // Where COM numbers lead instead of the system's own naming (the [ports]
  // section); used from the next Open on.
  void SetComMap(ComMap map) { m_comMap = std::move(map); }
  const ComMap& GetComMap() const { return m_comMap; }

 private:
  PortHandle m_handle;
  int m_nBaud;
  int m_nByteSize;
  int m_nParity;
  int m_nStopBits;
  int m_bRtsEnabled;
  int m_bDtrEnabled;
  ComMap m_comMap;
  bool m_bWriteFailed = false;
  std::vector<const char*> m_flowControl;  // catalogue texts (English)
  PortOpenError m_openError;
};
