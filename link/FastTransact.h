// The paced-by-arrival exchange for scripts: the same line on the wire as
// TransactOn, but it returns as soon as the answer is in rather than after
// fixed sleeps.
//
// FastTransactOn(port, clock, cmd, reply, cap, timeoutMs) drains the input,
// sends cmd + CR LF, then reads as the bytes arrive: the echo up to its LF,
// leading CRs and one LF, and the reply up to its CR (not stored), at most
// cap - 1 characters, NUL-terminated. After a CR it waits briefly for the
// LF and prompt that follow, so that the unit is ready for the next line;
// what comes there does not change the reply. The reply of the empty
// command is the prompt itself, which has no CR: a reply that ends in the
// prompt ends when the line then stays silent for one pause. Any other reply
// without CR ends at the time-out (or when the line is lost) with what came.
//
// Where the unit's answer is complete within the time-out, the stored text
// is what TransactOn stores when its sleeps let it see that answer whole.
// TransactOn, which reads only after its sleeps, cuts a reply at the first
// silence of more than one pause after them and misses one that starts
// later; this one takes such replies whole. The drain, echo and CR bounds
// are TransactOn's. (fuzz/fuzz_fast_transact.cpp holds the two to this.)
//
// Port needs int ReadByte() (256 + byte, or 0), int WriteString(const char*)
// (1 on success) and int WaitByte(int ms): 256 + byte once one arrives within
// ms, 0 when none did, -1 when the line is gone (hang-up, device error).
// Clock needs long long NowMs() on a steady clock. The call blocks the
// calling thread; it uses nothing but its arguments.
#pragma once

#include <chrono>
#include <string>

#include "Transact.h"

// How a fast exchange ended.
enum class FastEnd {
  kCr,          // the reply's CR came
  kPrompt,      // the reply ended in the prompt and the line fell silent
  kCap,         // cap - 1 characters stored
  kTimeout,     // the time-out passed first; the reply holds what came
  kLineLost,    // the device reported a hang-up or an error
  kWriteFailed  // the line could not be sent; nothing was read after
};

struct FastReply {
  int count;  // characters stored, as TransactOn returns
  FastEnd end;
};

inline constexpr const char* kUnitPrompt = "ZETA7>";
// After the reply's CR, how long the LF and prompt may take to follow: seven
// bytes at 4800 bit/s take 15 ms.
inline constexpr int kPromptGraceMs = 100;
inline constexpr int kDefaultFastTimeoutMs = 1000;

struct SteadyClock {
  long long NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

namespace fast_detail {

// WaitByte's -1 has the byte bit set too, so a byte is tested by range.
inline bool IsByte(int r) { return r >= 0x100 && r <= 0x1FF; }

inline bool EndsWithPrompt(const char* text, int count) {
  const int n = static_cast<int>(std::char_traits<char>::length(kUnitPrompt));
  if (count < n) return false;
  return std::char_traits<char>::compare(text + count - n, kUnitPrompt, n) == 0;
}

// Waits for the next byte until deadline (or at once when it has passed).
template <class Port, class Clock>
int NextByteBy(Port& port, Clock& clock, long long deadline) {
  const long long left = deadline - clock.NowMs();
  return port.WaitByte(left > 0 ? static_cast<int>(left) : 0);
}

}  // namespace fast_detail

template <class Port, class Clock>
FastReply FastTransactOn(Port& port, Clock& clock, const char* cmd, char* reply, int cap,
                         int timeoutMs) {
  using fast_detail::EndsWithPrompt;
  using fast_detail::IsByte;
  using fast_detail::NextByteBy;
  using transact_detail::ByteOf;
  if (cap < 1) return {0, FastEnd::kCap};
  reply[0] = '\0';

  for (int drained = 0; drained < kMaxDrainBytes && IsByte(port.ReadByte()); ++drained) {
  }
  std::string line = cmd != nullptr ? cmd : "";
  line += "\r\n";
  const long long deadline = clock.NowMs() + (timeoutMs > 0 ? timeoutMs : 0);
  if (port.WriteString(line.c_str()) == 0) return {0, FastEnd::kWriteFailed};

  auto lostOrLate = [](int r) { return r < 0 ? FastEnd::kLineLost : FastEnd::kTimeout; };

  // The echo, up to and including its LF.
  for (int seen = 1;; ++seen) {
    const int r = NextByteBy(port, clock, deadline);
    if (!IsByte(r)) return {0, lostOrLate(r)};
    if (ByteOf(r) == '\n' || seen >= kMaxEchoBytes) break;
  }

  int count = 0;
  auto finish = [&](FastEnd end) {
    reply[count] = '\0';
    return FastReply{count, end};
  };
  // The next byte of the reply: after the prompt only within one pause.
  auto next = [&]() {
    if (EndsWithPrompt(reply, count)) return port.WaitByte(kBytePauseMs);
    return NextByteBy(port, clock, deadline);
  };

  int r = NextByteBy(port, clock, deadline);
  bool crBound = false;
  for (int seen = 1; IsByte(r) && ByteOf(r) == '\r'; ++seen) {
    // As TransactOn: past the bound the run counts as a line gone silent, and
    // the reply is collected from the next byte on, without the LF rule.
    if (seen >= kMaxLeadingCrs) {
      crBound = true;
      break;
    }
    r = NextByteBy(port, clock, deadline);
  }
  if (!crBound) {
    if (!IsByte(r)) return finish(lostOrLate(r));
    if (ByteOf(r) != '\n' && count < cap - 1) reply[count++] = ByteOf(r);
  }
  if (count >= cap - 1) return finish(FastEnd::kCap);

  for (;;) {
    const bool afterPrompt = EndsWithPrompt(reply, count);
    r = next();
    if (!IsByte(r)) return finish(afterPrompt && r == 0 ? FastEnd::kPrompt : lostOrLate(r));
    if (ByteOf(r) == '\r') break;
    reply[count++] = ByteOf(r);
    if (count >= cap - 1) return finish(FastEnd::kCap);
  }

  // The LF and prompt after the CR; the first byte that does not fit ends
  // the wait (the next exchange drains whatever follows).
  const long long promptBy = clock.NowMs() + kPromptGraceMs;
  const std::string tail = std::string("\n") + kUnitPrompt;
  for (char expected : tail) {
    const int b = NextByteBy(port, clock, promptBy < deadline ? promptBy : deadline);
    if (!IsByte(b) || ByteOf(b) != expected) break;
  }
  return finish(FastEnd::kCr);
}
