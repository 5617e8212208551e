#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <string>
#include <utility>

#include "FastTransact.h"
#include "Transact.h"

namespace {

constexpr int kCap = 256;
constexpr int kTimeout = 1000;

// The unit, its line and the clock on virtual time: bytes become waiting at
// given moments; WaitByte moves the clock to the next arrival or to the end
// of the wait, Sleep (for the fixed exchange) by the time given. A hang-up
// at a moment makes later waits report a lost line.
class ArrivingUnit {
 public:
  void Arrive(long long at, const std::string& bytes, int gapMs = 0) {
    for (char c : bytes) {
      queue_.emplace_back(at, c);
      at += gapMs;
    }
  }
  void HangUpAt(long long at) { hangUpAt_ = at; }

  int ReadByte() {
    if (queue_.empty() || queue_.front().first > now) return 0;
    const char c = queue_.front().second;
    queue_.pop_front();
    return 0x100 | static_cast<unsigned char>(c);
  }
  int WaitByte(int ms) {
    const long long until = now + ms;
    if (!queue_.empty() && queue_.front().first <= until) {
      if (queue_.front().first > now) now = queue_.front().first;
      return ReadByte();
    }
    if (hangUpAt_ >= 0 && hangUpAt_ <= until) {
      now = std::max(now, hangUpAt_);
      return -1;
    }
    now = until;
    return 0;
  }
  int WriteString(const char* s) {
    written += s;
    return writeWorks ? 1 : 0;
  }
  long long NowMs() const { return now; }
  void Sleep(int ms) { now += ms; }

  long long now = 0;
  bool writeWorks = true;
  std::string written;

 private:
  std::deque<std::pair<long long, char>> queue_;
  long long hangUpAt_ = -1;
};

struct Outcome {
  std::string text;
  FastEnd end;
  long long at;  // virtual time when the exchange returned
};

Outcome Exchange(ArrivingUnit& unit, const std::string& cmd, int cap = kCap) {
  std::array<char, kCap + 4> buf;
  buf.fill('#');
  const FastReply r = FastTransactOn(unit, unit, cmd.c_str(), buf.data(), cap, kTimeout);
  EXPECT_TRUE(r.count >= 0 && r.count < cap) << r.count;
  EXPECT_EQ(buf[static_cast<size_t>(r.count)], '\0');
  EXPECT_EQ(std::string(buf.data() + kCap, 4), "####");
  return {std::string(buf.data(), static_cast<size_t>(r.count)), r.end, unit.now};
}

TEST(FastTransactTest, EndsWhenTheAnswerIsInAndTakesWhatTheFixedPacingWouldCut) {
  const std::string reply17 = "12  3     5  1000";
  const struct {
    const char* what;
    std::string cmd;
    std::string answer;  // arrives from 1 ms on, gapMs apart
    int gapMs;
    long long startAt;
    std::string text;
    FastEnd end;
    long long at;
  } cases[] = {
      {"prompt check", "", "\r\nZETA7>", 0, 1, "ZETA7>", FastEnd::kPrompt, 1 + kBytePauseMs},
      {"read", "R", "R\r\n" + reply17 + "\r\nZETA7>", 0, 1, reply17, FastEnd::kCr, 1},
      {"slow bytes", "R", "R\r\n" + reply17 + "\r\nZETA7>", 10, 1, reply17, FastEnd::kCr, 271},
      {"late start", "V", "V\r\nV1.02\r\nZETA7>", 0, 400, "V1.02", FastEnd::kCr, 400},
      {"no prompt after the CR", "V", "V\r\nV1\r\n", 0, 1, "V1", FastEnd::kCr, 1 + kPromptGraceMs},
      {"prompt inside a longer reply", "V", "V\r\nZETA7>x\r\nZETA7>", 0, 1, "ZETA7>x", FastEnd::kCr,
       1},
      {"wrong prompt", "", "\r\nZETA7> ", 0, 1, "ZETA7> ", FastEnd::kTimeout, kTimeout},
      {"no echo", "", "ZETA7>", 0, 1, "", FastEnd::kTimeout, kTimeout},
      {"silent", "R", "", 0, 1, "", FastEnd::kTimeout, kTimeout},
      {"CRs and one LF before the reply", "R", "R\r\n\r\r\nOK\r\nZETA7>", 0, 1, "OK", FastEnd::kCr,
       1},
      {"stops at the cap", "V", "V\r\n" + std::string(300, 'V'), 0, 1, std::string(kCap - 1, 'V'),
       FastEnd::kCap, 1},
  };
  for (const auto& c : cases) {
    ArrivingUnit unit;
    unit.Arrive(c.startAt, c.answer, c.gapMs);
    const Outcome o = Exchange(unit, c.cmd);
    EXPECT_EQ(unit.written, c.cmd + "\r\n") << c.what;
    EXPECT_EQ(o.text, c.text) << c.what;
    EXPECT_EQ(o.end, c.end) << c.what;
    EXPECT_EQ(o.at, c.at) << c.what;
  }
}

TEST(FastTransactTest, DrainsWhatWasWaitingBeforeSending) {
  ArrivingUnit unit;
  unit.Arrive(0, "\nZETA7>stale\r\n");
  unit.Arrive(2, "R\r\n12  3     5  1000\r\nZETA7>");
  EXPECT_EQ(Exchange(unit, "R").text, "12  3     5  1000");
}

// A hang-up is a lost line wherever it comes, before the echo as much as
// mid-reply; it never waits out the time-out as silence would.
TEST(FastTransactTest, LostLineEndsAtOnceWithWhatCame) {
  const struct {
    const char* what;
    std::string before;  // what arrives at 1 ms, before the hang-up at 20 ms
    std::string text;
  } cases[] = {
      {"before any byte", "", ""},
      {"after the echo", "R\r\n", ""},
      {"after the leading CRs", "R\r\n\r\r", ""},
      {"mid-reply", "R\r\n12  3", "12  3"},
  };
  for (const auto& c : cases) {
    ArrivingUnit unit;
    unit.Arrive(1, c.before);
    unit.HangUpAt(20);
    const Outcome o = Exchange(unit, "R");
    EXPECT_EQ(o.text, c.text) << c.what;
    EXPECT_EQ(o.end, FastEnd::kLineLost) << c.what;
    EXPECT_EQ(o.at, 20) << c.what;
  }

  ArrivingUnit deaf;
  deaf.writeWorks = false;
  deaf.Arrive(1, "R\r\nOK\r\nZETA7>");
  const Outcome w = Exchange(deaf, "R");
  EXPECT_EQ(w.end, FastEnd::kWriteFailed);
  EXPECT_EQ(w.text, "");
}

// An answer that is all there when the fixed exchange's waits end: both
// exchanges store the same bytes, the bounds included.
TEST(FastTransactTest, WholeAnswerStoresWhatTheFixedExchangeStores) {
  const std::string crs(512, '\r');
  const struct {
    const char* what;
    std::string cmd;
    std::string answer;
    std::string text;
  } cases[] = {
      {"prompt", "", "\r\nZETA7>", "ZETA7>"},
      {"version, LF and prompt left", "V", "V\r\nV1.02\r\nZETA7>", "V1.02"},
      {"no echo: the first line is taken for it", "V", "V1.02\r\nZETA7>", "ZETA7>"},
      {"CRs and one LF skipped", "S", "S\r\n\r\r\nOK\r\nZETA7>", "OK"},
      {"a second LF opens the reply", "S", "S\r\n\r\n\nOK\r\n", "\nOK"},
      {"NUL stored", "V", std::string("V\r\nA\0B\r\n", 8), std::string("A\0B", 3)},
      {"511 CRs, then the reply", "V", "V\r\n" + crs.substr(1) + "V1\r\n", "V1"},
      {"512 CRs, then the reply", "V", "V\r\n" + crs + "V1\r\n", "V1"},
      {"513 CRs: the last one ends an empty reply", "V", "V\r\n" + crs + "\rV1\r\n", ""},
      {"512 CRs and an LF: the LF is the reply's", "V", "V\r\n" + crs + "\nV1\r\n", "\nV1"},
      {"capped at 255", "R", "R\r\n" + std::string(300, 'a'), std::string(255, 'a')},
  };
  for (const auto& c : cases) {
    ArrivingUnit fixedUnit;
    fixedUnit.Arrive(1, c.answer);
    std::array<char, kCap> buf;
    const int n = TransactOn(fixedUnit, fixedUnit, c.cmd.c_str(), buf.data(), kCap);
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(n)), c.text) << c.what;

    ArrivingUnit fastUnit;
    fastUnit.Arrive(1, c.answer);
    EXPECT_EQ(Exchange(fastUnit, c.cmd).text, c.text) << c.what;
  }
}

TEST(FastTransactTest, TinyCapsStoreAsTheFixedExchangeDoes) {
  for (int cap : {1, 2}) {
    ArrivingUnit unit;
    unit.Arrive(1, "V\r\nV1.02\r\nZETA7>");
    const Outcome o = Exchange(unit, "V", cap);
    EXPECT_EQ(o.text, cap == 1 ? "" : "V") << cap;
    EXPECT_EQ(o.end, FastEnd::kCap) << cap;
  }
}

}  // namespace
