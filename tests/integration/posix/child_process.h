// Child processes for the tests: a body run in a fork, a child that holds
// something until it is killed, and names no other run uses.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace orvanta::test {

// The exit status of a child, or -1 when it did not exit normally.
inline int ExitStatusOf(pid_t child) {
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Runs body() in a child and returns the child's exit status: body's result.
template <typename Body>
int RunInChild(Body body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  return child < 0 ? -1 : ExitStatusOf(child);
}

// Kills a child; its exit status (-1 for a killed child).
inline int Kill(pid_t child) {
  ::kill(child, SIGKILL);
  return ExitStatusOf(child);
}

// Starts body(hold) in a child; body calls hold(ok) once it holds what it
// should (or fails to), and the child then waits to be killed: by the test,
// or at the latest when the test program ends. Returns the child once it said
// it holds, or -1.
template <typename Body>
pid_t StartHolder(Body body) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::close(fds[0]);
    body([fd = fds[1]](bool ok) {
      const char said = ok ? 'y' : 'n';
      if (::write(fd, &said, 1) != 1) ::_exit(2);
      for (;;) ::pause();
    });
    ::_exit(1);
  }
  ::close(fds[1]);
  char said = 0;
  const bool ready = child > 0 && ::read(fds[0], &said, 1) == 1 && said == 'y';
  ::close(fds[0]);
  if (child > 0 && !ready) Kill(child);
  return ready ? child : -1;
}

inline std::string UniqueName(const char* what) {
  static std::atomic<int> counter{0};
  return std::string("orvanta-test-") + what + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace orvanta::test
