// CSimProcess: runs the simulated unit (zeta7-sim) for a test or a benchmark.
//
//   CSimProcess sim;
//   ASSERT_TRUE(sim.Start({"--r18"})) << sim.Error();
//   port.SetComMap({{1, sim.DevicePath()}});   // COM1 is now the simulated unit
//   ... exchanges ...
//   EXPECT_EQ(sim.ReceivedLines().back(), "R");
//
// Start launches DefaultProgram() (or the program given) with the
// arguments plus a private --log file and --quit-on-eof, and waits a bounded
// time for the device path on its first output line. The unit copies every
// byte it receives to the log before it echoes or answers it, so once the
// program has read an answer, ReceivedBytes() and ReceivedLines() hold the
// line that caused it. Stop() ends the unit with SIGTERM (SIGKILL if it does
// not go within two seconds); the destructor kills it if still running and
// removes the log. Should the test process die first, the unit sees its
// standard input close and exits by itself.
//
// No Qt, no threads; use an object from one thread. Every wait is bounded.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class CSimProcess {
 public:
  CSimProcess() = default;
  ~CSimProcess();
  CSimProcess(const CSimProcess&) = delete;
  CSimProcess& operator=(const CSimProcess&) = delete;

  // $ZETA7_BIN_DIR/zeta7-sim, else zeta7-sim beside the running program.
  static std::string DefaultProgram();

  // False, with the reason in Error(), when the program is missing, exits,
  // or prints no device path within timeoutMs.
  bool Start(const std::vector<std::string>& args = {}, int timeoutMs = 5000);
  bool Start(const std::string& program, const std::vector<std::string>& args,
             int timeoutMs = 5000);

  // SIGTERM and wait; returns the exit status as waitpid reports it, or -1
  // when no unit was running.
  int Stop();
  // True while the unit process has not exited (it may hang up by itself).
  bool Running();

  const std::string& DevicePath() const { return m_strDevice; }
  const std::string& Error() const { return m_strError; }

  // Every byte the unit has received so far, unchanged.
  std::string ReceivedBytes() const;
  // The same split into lines as the unit splits them: CR, LF and CR LF
  // each end a line; an unfinished last line is left out.
  std::vector<std::string> ReceivedLines() const;

 private:
  void Kill();

  pid_t m_pid = -1;
  int m_nStdin = -1;  // write end of the unit's standard input
  int m_nStatus = -1;
  std::string m_strDevice;
  std::string m_strLog;
  std::string m_strError;
};
