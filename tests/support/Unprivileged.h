// Runs a check in a child process without root's rights, for the faults
// that permission bits make: as root the child becomes "nobody"; as any other
// user it simply runs. The check's result is the child's exit code; -1 when
// the child could not be started or lost its rights drop.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline int RunUnprivileged(const std::function<int()>& check) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(200);
    }
    _exit(check());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 200) {
    return -1;
  }
  return WEXITSTATUS(status);
}
