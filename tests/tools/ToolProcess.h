// Runs one of the built tools (zeta7ctl, zeta7-ports) as a child process with
// its output in files. Every wait is bounded, and the destructor kills a
// child that is still running.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"

extern char** environ;

struct ToolResult {
  int exitCode = -1;  // -1 when it did not exit normally in time
  std::string out;
  std::string err;
};

// Polls cond until it holds or timeoutMs pass.
template <class Cond>
bool WaitFor(Cond cond, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

class CToolProcess {
 public:
  explicit CToolProcess(const std::string& tool) {
    const char* bin = std::getenv("ZETA7_BIN_DIR");
    m_strProgram = std::string(bin != nullptr ? bin : ".") + "/" + tool;
  }
  ~CToolProcess() { Kill(); }

  // stdoutPath: where standard output goes ("" its own file, "-" closed);
  // stdinPath: where standard input comes from ("" /dev/null); stderrPath:
  // where standard error goes ("" its own file, read by Err()).
  bool Start(std::vector<std::string> args, const std::string& stdoutPath = "",
             const std::string& stdinPath = "", const std::string& stderrPath = "") {
    args.insert(args.begin(), m_strProgram);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string in = stdinPath.empty() ? "/dev/null" : stdinPath;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    const std::string out = stdoutPath.empty() ? m_dir / "out" : stdoutPath;
    if (stdoutPath == "-") {
      posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    const std::string err = stderrPath.empty() ? m_dir / "err" : stderrPath;
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0644);
    const int rc =
        posix_spawn(&m_pid, m_strProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) m_pid = -1;
    return rc == 0;
  }

  void Signal(int sig) {
    if (m_pid > 0) kill(m_pid, sig);
  }

  // Whether it has not exited yet (it is not reaped here).
  bool Running() {
    siginfo_t info{};
    return m_pid > 0 &&
           waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }
  // What it has written to standard error so far.
  std::string Err() const { return ReadFile(m_dir / "err"); }

  // timeoutMs bounds the wait; a child still running then is killed and
  // its exit code is -1.
  ToolResult Wait(int timeoutMs = 30000) {
    ToolResult result;
    int status = 0;
    if (WaitFor([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeoutMs)) {
      m_pid = -1;
      if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    }
    Kill();
    result.out = ReadFile(m_dir / "out");
    result.err = ReadFile(m_dir / "err");
    return result;
  }

  ToolResult Run(const std::vector<std::string>& args, const std::string& stdoutPath = "",
                 const std::string& stdinPath = "") {
    return Start(args, stdoutPath, stdinPath) ? Wait() : ToolResult{};
  }

 private:
  void Kill() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
      m_pid = -1;
    }
  }
  std::string m_strProgram;
  CTempDir m_dir;
  pid_t m_pid = -1;
};
