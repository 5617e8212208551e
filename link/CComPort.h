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

#include "PortSystem.h"

class CComPort {
 public:
  CComPort();
  ~CComPort();
  CComPort(const CComPort&) = delete;
  CComPort& operator=(const CComPort&) = delete;

  // 1 when COM port n (1..256) is open and its time-outs are set. A failure
  // at the time-outs returns 0 with the device still held, until Close.
  int Open(int n);
  int Reopen(int n, int baud, int byteSize, int parity, int stopBits);
  void Close();

  int SetLineControl(int rts, int dtr);
  int SetRts(int on);

  // Up to n bytes into buf (at least n + 1 bytes), NUL after them. 0 when
  // closed, -1 on a platform failure, else the count (possibly 0).
  int Read(char* buf, int n);
  // 256 + byte value when a byte was waiting, else 0.
  int ReadByte();
  int Write(const char* buf, int n);
  int WriteString(const char* s);

  bool IsOpen() const { return m_handle != kNoPort; }

 private:
  PortHandle m_handle;
  int m_nBaud;
  int m_nByteSize;
  int m_nParity;
  int m_nStopBits;
  int m_bRtsEnabled;
  int m_bDtrEnabled;
};
