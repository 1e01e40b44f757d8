// confinement.cpp: the worker's limits and its system-call filter.
//
// The filter is one table, read top to bottom by a reviewer: calls allowed outright, calls
// allowed with a condition on their arguments, and calls refused softly with an error (a
// library probing for a file or printing a warning fails cleanly instead of dying). Anything
// not in the table kills the process, which the broker then reports as a crash (SIGSYS).
#include "trial/confinement.h"

#include <fcntl.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>

namespace {

[[noreturn]] void OnAllocationFailure() {
  EndWorker(kOutOfMemoryExit);
}

bool InstallFilter(int reportFd) {
  const scmp_arg_cmp none{};
  const std::uint64_t self = static_cast<std::uint64_t>(getpid());
  const std::uint64_t report = static_cast<std::uint64_t>(reportFd);
  const FilterRule rules[] = {
      // The report: the only descriptor written to. Other writes (a library's warning on
      // standard error, which is closed) fail as a closed descriptor would.
      {SCMP_SYS(write), SCMP_ACT_ALLOW, 1, SCMP_A0(SCMP_CMP_EQ, report)},
      {SCMP_SYS(write), SCMP_ACT_ERRNO(EBADF), 1, SCMP_A0(SCMP_CMP_NE, report)},
      {SCMP_SYS(close), SCMP_ACT_ALLOW, 0, none},  // only its own descriptors exist
      // Memory: the decoders allocate freely. Never executable: injected code stays data.
      {SCMP_SYS(brk), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(mmap), SCMP_ACT_ALLOW, 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)},
      {SCMP_SYS(mprotect), SCMP_ACT_ALLOW, 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)},
      {SCMP_SYS(munmap), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(mremap), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(madvise), SCMP_ACT_ALLOW, 0, none},
      // The C library's locks; the worker has one thread, so a wait only wakes itself.
      {SCMP_SYS(futex), SCMP_ACT_ALLOW, 0, none},
      // Clocks and identity: read-only facts about the process itself.
      {SCMP_SYS(clock_gettime), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(gettimeofday), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(getpid), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(gettid), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(getrandom), SCMP_ACT_ALLOW, 0, none},  // the allocator's start-up
      // The machine's memory size: glibc's qsort sizes its buffer by it (the sound decoder
      // sorts its codebooks), asking once per process.
      {SCMP_SYS(sysinfo), SCMP_ACT_ALLOW, 0, none},
      // A failed assertion aborts: its own signals, to itself only, so the broker sees the
      // decoder's own SIGABRT.
      {SCMP_SYS(rt_sigprocmask), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(rt_sigaction), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(rt_sigreturn), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(sigaltstack), SCMP_ACT_ALLOW, 0, none},  // sanitizer builds, on the way out
      {SCMP_SYS(tgkill), SCMP_ACT_ALLOW, 1, SCMP_A0(SCMP_CMP_EQ, self)},
      {SCMP_SYS(exit), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(exit_group), SCMP_ACT_ALLOW, 0, none},
      // Looking for files fails softly: there are none to find.
      {SCMP_SYS(open), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(openat), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(stat), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(lstat), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(fstat), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(newfstatat), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(access), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(faccessat), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(readlink), SCMP_ACT_ERRNO(EACCES), 0, none},
      {SCMP_SYS(lseek), SCMP_ACT_ERRNO(ESPIPE), 0, none},
      {SCMP_SYS(ioctl), SCMP_ACT_ERRNO(ENOTTY), 0, none},  // "is this a terminal?"
  };
  // Everything else (socket, connect, execve, clone, fork, kill, ptrace, ...) kills.
  return LoadFilter(rules, sizeof rules / sizeof rules[0], SCMP_ACT_KILL_PROCESS, false);
}

// Pages of address space (field 0) or resident memory (field 1) of a process.
std::size_t StatmBytes(pid_t pid, int field) {
  char name[64];
  std::snprintf(name, sizeof name, "/proc/%d/statm", static_cast<int>(pid));
  FILE* file = std::fopen(name, "r");
  if (!file) return 0;
  unsigned long values[2] = {0, 0};
  const int read = std::fscanf(file, "%lu %lu", &values[0], &values[1]);
  std::fclose(file);
  if (read != 2) return 0;
  return values[field] * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

bool LoadFilter(const FilterRule* rules, std::size_t count, std::uint32_t defaultAction,
                bool allThreads) {
  scmp_filter_ctx filter = seccomp_init(defaultAction);
  if (!filter) return false;
  bool ok = !allThreads || seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1) == 0;
  for (std::size_t i = 0; i < count; ++i) {
    const FilterRule& rule = rules[i];
    const int added = rule.conditions
                          ? seccomp_rule_add(filter, rule.action, rule.call, 1, rule.condition)
                          : seccomp_rule_add(filter, rule.action, rule.call, 0);
    ok = ok && added == 0;
  }
  ok = ok && seccomp_load(filter) == 0;
  seccomp_release(filter);
  return ok;
}

std::size_t AddressSpaceBytes(pid_t pid) {
  return StatmBytes(pid, 0);
}

std::size_t ResidentBytes(pid_t pid) {
  return StatmBytes(pid, 1);
}

void EndWorker(int code) {
  for (;;) syscall(SYS_exit_group, code);
}

void DieWithParent(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);  // the parent left before the line above
}

void LimitWorker(const TrialLimits& limits, std::size_t addressSpaceAtFork) {
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  const rlim_t cpuSeconds = static_cast<rlim_t>(std::ceil(limits.seconds)) + 1;
  rlimit cpu{cpuSeconds, cpuSeconds + 1};
  setrlimit(RLIMIT_CPU, &cpu);
#ifndef VELLORAN_ASAN
  // AddressSanitizer reserves terabytes of address space up front; there the broker's watch
  // on resident memory is the only bound.
  if (addressSpaceAtFork > 0) {
    const rlim_t bytes = static_cast<rlim_t>(addressSpaceAtFork + limits.memoryBytes);
    rlimit memory{bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
  }
#else
  (void)addressSpaceAtFork;
#endif
  std::set_new_handler(OnAllocationFailure);
}

bool ConfineWorker(int reportFd) {
  // A session of its own: no controlling terminal to push keystrokes into, and a process
  // group the broker can end whole.
  if (setsid() < 0) return false;
  // Every descriptor but the report goes: the game's pipe, the terminal, anything inherited.
  if (reportFd > 0 && syscall(SYS_close_range, 0u, static_cast<unsigned>(reportFd - 1), 0u) != 0)
    return false;
  if (syscall(SYS_close_range, static_cast<unsigned>(reportFd + 1), ~0u, 0u) != 0) return false;
  // No new descriptors, processes or file bytes, even through a call the filter would let by.
  const rlimit zero{0, 0};
  if (setrlimit(RLIMIT_NOFILE, &zero) != 0 || setrlimit(RLIMIT_NPROC, &zero) != 0 ||
      setrlimit(RLIMIT_FSIZE, &zero) != 0) {
    return false;
  }
  // No gaining privileges through exec, and no other process of the user may trace or read
  // this one's memory.
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) return false;
  return InstallFilter(reportFd);
}
