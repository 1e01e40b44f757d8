// fork_fail.cpp: a preload for test_no_trial_process.sh that refuses forks of the process it
// is loaded into with EAGAIN, as a process limit would: after the first VELLORAN_PASSED_FORKS
// (default none), the next VELLORAN_FAILED_FORKS. A child starts with its parent's count.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {
long Setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::atol(value) : 0;
}
}  // namespace

extern "C" pid_t fork() {
  static long calls = 0;
  const long passed = Setting("VELLORAN_PASSED_FORKS");
  if (calls++ >= passed && calls <= passed + Setting("VELLORAN_FAILED_FORKS")) {
    errno = EAGAIN;
    return -1;
  }
  using Fork = pid_t (*)();
  static const Fork real = reinterpret_cast<Fork>(dlsym(RTLD_NEXT, "fork"));
  return real();
}
