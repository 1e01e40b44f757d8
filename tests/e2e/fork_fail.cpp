// fork_fail.cpp: a preload for test_no_trial_process.sh that refuses the first forks of the
// process it is loaded into with EAGAIN, as a process limit would: as many as
// VELLORAN_FAILED_FORKS says. A child starts with its parent's count, so once a fork has gone
// through, the children's own forks are not refused.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern "C" pid_t fork() {
  static long refused = 0;
  const char* wanted = std::getenv("VELLORAN_FAILED_FORKS");
  if (wanted && refused < std::atol(wanted)) {
    ++refused;
    errno = EAGAIN;
    return -1;
  }
  using Fork = pid_t (*)();
  static const Fork real = reinterpret_cast<Fork>(dlsym(RTLD_NEXT, "fork"));
  return real();
}
