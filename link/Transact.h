// One command/reply exchange with the unit.
//
// TransactOn(port, clock, cmd, reply, cap) drains the input, sends cmd + CR LF,
// waits 4L+28 then 8L+40 ms (L = line length, CR LF included), skips the
// echo up to its LF, skips leading CRs and one LF, and collects one reply
// line up to its CR, at most cap - 1 characters, NUL-terminated. It returns
// the number of characters stored; 0 means no reply. Every read after the
// first of its step is preceded by a 4 ms pause, so a reply is cut where the
// line falls silent for one pause; whatever is left (the LF after the CR, a
// following prompt, the rest of a cut reply) is drained by the next exchange.
//
// The unit may also stream without line ends (a wrong port, a wrong speed, a
// device in some dump mode). So that this can never hold the caller forever,
// the drain, the echo skip and the CR skip each stop after a fixed number of
// bytes (the constants below) and then act as if the line had fallen silent.
//
// Port needs int ReadByte() (256 + byte, or 0 for no byte) and
// int WriteString(const char*); Clock needs Sleep(int ms). The dialog passes
// its real port and SystemClock; tests pass fakes on virtual time. The call
// blocks the calling thread for its sleeps and uses nothing but its
// arguments.
#pragma once

#include <chrono>
#include <string>
#include <thread>

// Bytes read and discarded before sending, at most: a second of data even at
// 460800 bit/s, far beyond any leftover of a previous exchange.
inline constexpr int kMaxDrainBytes = 64 * 1024;
// Bytes of echo skipped while looking for its LF, at most. The longest
// command line is under 40 bytes.
inline constexpr int kMaxEchoBytes = 512;
// CRs skipped before the reply, at most.
inline constexpr int kMaxLeadingCrs = 512;
// Pause before every read but the first of each step.
inline constexpr int kBytePauseMs = 4;

struct SystemClock {
  void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

namespace transact_detail {
inline bool IsByte(int r) { return (r & 0x100) != 0; }
inline char ByteOf(int r) { return static_cast<char>(r & 0xFF); }
}  // namespace transact_detail

template <class Port, class Clock>
int TransactOn(Port& port, Clock& clock, const char* cmd, char* reply, int cap) {
  using transact_detail::ByteOf;
  using transact_detail::IsByte;
  if (cap < 1) return 0;

  for (int drained = 0; drained < kMaxDrainBytes && IsByte(port.ReadByte()); ++drained) {
  }

  std::string line = cmd != nullptr ? cmd : "";
  line += "\r\n";
  const int len = static_cast<int>(line.size());
  port.WriteString(line.c_str());

  clock.Sleep(4 * len + 28);
  clock.Sleep(8 * len + 40);

  // The echo of the command, up to and including its LF.
  int r = port.ReadByte();
  for (int seen = 1; IsByte(r) && ByteOf(r) != '\n'; ++seen) {
    if (seen >= kMaxEchoBytes) break;
    clock.Sleep(kBytePauseMs);
    r = port.ReadByte();
  }

  int count = 0;
  r = port.ReadByte();
  for (int seen = 1; IsByte(r) && ByteOf(r) == '\r'; ++seen) {
    if (seen >= kMaxLeadingCrs) {
      r = 0;
      break;
    }
    clock.Sleep(kBytePauseMs);
    r = port.ReadByte();
  }
  // One LF after the CRs is dropped; any other byte opens the reply.
  if (IsByte(r) && ByteOf(r) != '\n' && count < cap - 1) reply[count++] = ByteOf(r);

  if (count < cap - 1) {
    r = port.ReadByte();
    while (IsByte(r) && ByteOf(r) != '\r') {
      reply[count++] = ByteOf(r);
      if (count >= cap - 1) break;
      clock.Sleep(kBytePauseMs);
      r = port.ReadByte();
    }
  }
  reply[count] = '\0';
  return count;
}
