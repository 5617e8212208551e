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
// line that caused it. Should the test process die first, the unit sees its
// standard input close and exits by itself.
//
// On Linux, Stop() ends the unit with SIGTERM (SIGKILL if it does not go
// within two seconds); the destructor kills it if still running and removes
// the log.
//
// On Windows the tests run under Wine and the unit is still the Linux
// program: Wine starts an ELF file as a plain Unix child that it gives no
// process handle, so the unit is known only by its standard input and output
// (one loopback socket: Wine's pipes have no Unix descriptor to hand a Unix
// child, its sockets have; the unit's errors go to this program's own standard
// error, as on Linux). Stop() closes its input and waits two seconds for the socket to
// reach its end, which is the unit exiting. Paths are Windows paths
// throughout: the values of --link and --log are turned into the Unix paths
// the unit needs. Wine passes the arguments in the Unix locale's charset, so
// beyond ASCII they need a UTF-8 locale (scripts/wine-test.sh sees to it).
//
// No Qt, no threads; use an object from one thread. Every wait is bounded.
#pragma once

#include <memory>
#include <string>
#include <vector>

class CSimProcess {
 public:
  CSimProcess();
  ~CSimProcess();
  CSimProcess(const CSimProcess&) = delete;
  CSimProcess& operator=(const CSimProcess&) = delete;

  // Linux: $ZETA7_BIN_DIR/zeta7-sim, else zeta7-sim beside the running
  // program. Windows: $ZETA7_SIM, a Unix path (as scripts/wine-test.sh sets
  // it) or a Windows one, given back as a Windows path.
  static std::string DefaultProgram();

  // False, with the reason in Error(), when the program is missing, exits,
  // or prints no device path within timeoutMs.
  bool Start(const std::vector<std::string>& args = {}, int timeoutMs = 5000);
  bool Start(const std::string& program, const std::vector<std::string>& args,
             int timeoutMs = 5000);

  // Ends the unit and waits; returns the exit status as waitpid reports it
  // (Windows: 0 once it has gone), or -1 when no unit was running or (on
  // Windows) it did not go in time, which Error() then says.
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
  struct CChild;  // the running unit, as the platform knows it
  void Kill();

  std::unique_ptr<CChild> m_pChild;
  int m_nStatus = -1;
  std::string m_strDevice;
  std::string m_strLog;
  std::string m_strError;
};
