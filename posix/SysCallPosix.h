// The POSIX calls as the program makes them: repeated when a signal
// interrupted them, written whole, and their failure in the system's words.
// Free functions of no state; any thread.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

namespace posix {

// Calls call() again while it fails with EINTR (a signal came; zeta7ctl's
// handlers only count it). call returns -1 and sets errno on failure.
template <class Call>
auto RetryInterrupted(Call call) {
  auto r = call();
  while (r == -1 && errno == EINTR) r = call();
  return r;
}

// Writes all size bytes to fd, retrying interrupted and short writes; false
// (errno set) on a failure or when the descriptor takes nothing more.
bool WriteAll(int fd, const char* data, size_t size);

// The system's words for err ("No such file or directory").
std::string ErrnoText(int err);

// The path of the running program, from /proc/self/exe; empty when the
// system does not say.
std::string ProgramPath();

}  // namespace posix
