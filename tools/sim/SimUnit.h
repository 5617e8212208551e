// CSimUnit: the command interpreter of the simulated ZETA-7 unit.
//
// It turns what the unit receives into what it sends back: the echo of each
// byte, the reply to each complete line and the prompt, with the fault
// switches of SimOptions applied. It does no I/O and knows no clock: every
// byte it queues carries the silence to leave before it (on top of the line
// speed), and the pty loop in main.cpp paces and writes them. One loop owns
// one unit; single-threaded.
//
// Line ends: CR, LF and CR LF each end one line, and each echoes as one
// CR LF. Every line gets "reply CR LF prompt", except the empty line, whose
// whole answer is the prompt: the program's prompt check then reads exactly
// "ZETA7>", and the LF and prompt left behind after other replies are
// drained by its next exchange.
#pragma once

#include <cstddef>
#include <deque>
#include <random>
#include <string>
#include <vector>

// What a unit sent in a recorded trace (zeta7ctl --trace), as answers to
// be given again: answers[k] follows the program's k-th line end (0: before
// any), each a list of bursts with the silence before them.
struct SimReplay {
  struct Burst {
    std::string bytes;
    int gapMs = 0;
    bool hangUp = false;  // the line was lost here
  };
  std::vector<std::vector<Burst>> answers;
};

// The received side of one port's lines in trace text; port "" takes the
// first port there. False with a message for a line that is not a trace
// line or a port with no lines.
bool ParseReplay(const std::string& trace, const std::string& port, SimReplay& replay,
                 std::string& error);

struct SimOptions {
  // Parameters the unit starts with.
  int channel = 12;
  int id = 3;
  int retry = 5;
  int interval = 1000;
  std::string version = "V1.02.03";
  // Length of the "R" reply with the parameters above (16 to 19); the
  // program accepts 17 and 18.
  int paramWidth = 17;

  // Line speed for pacing in bit/s; 0 follows the speed the program set on
  // the line, falling back to 38400.
  int baud = 0;
  // The unit's own speed; 0 answers at any. At another speed what it hears
  // and says is noise (no line ends), as on a real line.
  int unitBaud = 0;
  std::string linkPath;  // stable symlink to the device, empty for none
  std::string logPath;   // raw copy of every received byte, empty for none
  bool quitOnEof = false;
  unsigned seed = 1;

  // Fault switches.
  bool silent = false;       // neither echo nor answer
  bool noEcho = false;       // answers without echoing
  bool wrongPrompt = false;  // prompt "ZETA7> "
  bool garbage = false;      // random bytes instead of every answer
  int slowGapMs = 0;         // silence before each answer byte, 0 for none
  bool overlong = false;     // V/R/S replies of 300 characters, no line end
  bool nul = false;          // a NUL inside V/R/S replies
  bool lowerOk = false;      // "ok" for an accepted "S"
  bool noStore = false;      // "OK" for a valid "S" that is then not stored
  bool lowerV = false;       // version beginning with "v"
  bool stream = false;       // endless bytes without line ends after a line
  bool hangup = false;       // hang up halfway through the first V/R/S reply

  // --replay: the unit answers each line as the traced unit did, echo
  // included; nothing of its own.
  std::string replayPath;
  std::string replayPort;
  SimReplay replay;
  bool replaying = false;
};

// Parses the command line (argv[0] excluded) into options. Returns false
// with a message in error for an unknown or malformed option. --help sets
// help, --version sets version, and both return true.
bool ParseSimArgs(int argc, const char* const* argv, SimOptions& options, bool& help, bool& version,
                  std::string& error);
// The --help text.
std::string SimUsage();

struct SimByte {
  unsigned char value = 0;
  int gapMs = 0;        // silence before this byte, beyond the line speed
  bool hangUp = false;  // close the line here instead of sending a byte
};

class CSimUnit {
 public:
  static constexpr const char* kPrompt = "ZETA7>";
  static constexpr size_t kLineCap = 256;  // longer input lines are refused
  static constexpr size_t kOverlongReply = 300;

  explicit CSimUnit(const SimOptions& options);

  // Takes received bytes; queues the echo and, for each completed line, the
  // answer.
  void Receive(const char* data, size_t n);

  // Next byte to send, if any. In stream mode there always is one once a
  // line has arrived: the stream is made on demand, so nothing piles up.
  bool HasOutput();
  const SimByte& Front();
  void Pop();

  // The stored parameters.
  int Channel() const { return m_nChannel; }
  int Id() const { return m_nId; }
  int Retry() const { return m_nRetry; }
  int Interval() const { return m_nInterval; }

  // The reply text for one line, before line end, prompt and output faults.
  std::string Answer(const std::string& line);

 private:
  void EndLine();
  void Replay(size_t lineEnd);
  void Queue(const std::string& bytes, int gapMs);
  std::string ParamReply() const;
  bool Store(const std::string& line);

  SimOptions m_options;
  int m_nChannel;
  int m_nId;
  int m_nRetry;
  int m_nInterval;
  std::string m_strLine;
  size_t m_nLineEnds = 0;  // replay: the program's line ends so far
  bool m_bLineTooLong = false;
  bool m_bAfterCr = false;
  bool m_bStreaming = false;
  bool m_bHungUp = false;
  unsigned m_nStreamPos = 0;
  std::deque<SimByte> m_queue;
  std::mt19937 m_random;
};
