// Fakes for exchange tests on virtual time.
//
// FakeClock is the test's clock: Sleep advances virtual time and records the
// wait. ScriptedPort delivers bytes that become waiting at given virtual
// moments, optionally followed by an endless stream of one byte, and
// records what was written and how often it was read.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

class FakeClock {
 public:
  void Sleep(int ms) {
    sleeps_.push_back(ms);
    now_ += ms;
  }
  // Moves time on without counting it as a sleep of the code under test.
  void Advance(long long ms) { now_ += ms; }
  long long Now() const { return now_; }
  const std::vector<int>& sleeps() const { return sleeps_; }
  void ClearSleeps() { sleeps_.clear(); }

 private:
  long long now_ = 0;
  std::vector<int> sleeps_;
};

class ScriptedPort {
 public:
  explicit ScriptedPort(const FakeClock& clock) : clock_(clock) {}

  // bytes become waiting at virtual time `at`, after everything scheduled
  // before them.
  void Arrive(long long at, const std::string& bytes) {
    for (char c : bytes) queue_.emplace_back(at, c);
  }
  // Once the scheduled bytes are read, `byte` is always waiting from `at` on.
  void StreamForever(long long at, char byte) {
    streamFrom_ = at;
    streamByte_ = byte;
    streaming_ = true;
  }

  int ReadByte() {
    ++reads_;
    if (!queue_.empty()) {
      if (queue_.front().first > clock_.Now()) return 0;
      const char c = queue_.front().second;
      queue_.pop_front();
      return 0x100 | static_cast<unsigned char>(c);
    }
    if (streaming_ && streamFrom_ <= clock_.Now()) {
      return 0x100 | static_cast<unsigned char>(streamByte_);
    }
    return 0;
  }

  int WriteString(const char* s) {
    written_ += s;
    return 1;
  }

  const std::string& written() const { return written_; }
  long long reads() const { return reads_; }
  // Scheduled bytes not read yet, whether or not they are due.
  size_t pending() const { return queue_.size(); }

 private:
  const FakeClock& clock_;
  std::deque<std::pair<long long, char>> queue_;
  bool streaming_ = false;
  long long streamFrom_ = 0;
  char streamByte_ = 0;
  std::string written_;
  long long reads_ = 0;
};
