// shader_confinement.cpp: the shader worker's layers of confinement and its system-call filter.
//
// The filter is one table, read top to bottom by a reviewer, in the file workers' style. It
// differs from theirs both ways: compiling and linking with a context that already exists
// makes no system call beyond memory, time and the report, so the worker may not read or close
// a descriptor (one pread of its own status excepted), but the driver's sleeps and yields are
// allowed, which the file workers do without. Anything not in the table kills the process,
// which the broker reports as a crash (SIGSYS).
#include "trial/shader_confinement.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "trial/confinement.h"
#include "trial/landlock_abi.h"

namespace {

// The descriptors' fixed places, so the filter can name them.
constexpr int kReportFd = 3;
constexpr int kStatusFd = 4;
constexpr int kDebugFd = 5;

// ---- Landlock ----------------------------------------------------------------------------

// Lets the ruleset read (and, for folders, list) what lies beneath `path`. A missing path is
// no error: /etc/drirc is optional.
bool AllowReading(int ruleset, const char* path, bool folder) {
  const int fd = open(path, O_PATH | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  LandlockPathBeneath rule{kFsReadFile | (folder ? kFsReadDir : 0), fd};
  const bool ok = syscall(SYS_landlock_add_rule, ruleset, kRulePathBeneath, &rule, 0) == 0;
  close(fd);
  return ok;
}

// ---- the filter --------------------------------------------------------------------------

bool debugRun = false;  // VELLORAN_TRIAL_DEBUG: a refused call is named on standard error

// A debug run traps instead of killing, names the call, then dies of it as a kill would. The
// name lookup allocates and snprintf is not async-signal-safe either: tolerable only here,
// in a debug run, in a one-thread worker that dies next. Were the trap to land inside the
// allocator, the worker would hang on its lock and be reported as out of time, never misjudged.
void OnRefusedCall(int, siginfo_t* info, void*) {
  char* name = seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, info->si_syscall);
  char line[160];
  const int length = std::snprintf(line, sizeof line,
                                   "velloran: shader trial worker: refused system call %d (%s)\n",
                                   info->si_syscall, name ? name : "?");
  if (length > 0) (void)!write(kDebugFd, line, static_cast<std::size_t>(length));
  signal(SIGSYS, SIG_DFL);
  raise(SIGSYS);
}

bool InstallShaderFilter(bool executableMemory) {
  const scmp_arg_cmp none{};
  // Code may be made executable only for the software renderer's JIT, in a worker that draws.
  // Such a worker holds no right an injected program could use that plain data cannot: the rest
  // of this table binds native code as tightly as it binds the compiler.
  const int checkExec = executableMemory ? 0 : 1;
  const scmp_arg_cmp noExec = SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0);
  const std::uint64_t self = static_cast<std::uint64_t>(getpid());
  // Descriptors below the report are closed; a debug run keeps standard error above it.
  const std::uint64_t lastWritable = debugRun ? kDebugFd : kReportFd;
  const FilterRule rules[] = {
      // The report: the only descriptor written to. Other writes (the driver's warnings on the
      // closed standard error, or a write for another pair) fail as a closed descriptor would.
      {SCMP_SYS(write), SCMP_ACT_ALLOW, 1, SCMP_A0(SCMP_CMP_LE, lastWritable)},
      {SCMP_SYS(write), SCMP_ACT_ERRNO(EBADF), 1, SCMP_A0(SCMP_CMP_GT, lastWritable)},
      // The memory watch re-reads its own status through the descriptor opened beforehand.
      {SCMP_SYS(pread64), SCMP_ACT_ALLOW, 1, SCMP_A0(SCMP_CMP_EQ, kStatusFd)},
      // Memory: the compiler allocates freely. Executable only where the worker draws (see
      // above); a window-backed worker never runs a shader, and injected code stays data there.
      {SCMP_SYS(brk), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(mmap), SCMP_ACT_ALLOW, checkExec, noExec},
      {SCMP_SYS(mprotect), SCMP_ACT_ALLOW, checkExec, noExec},
      {SCMP_SYS(munmap), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(mremap), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(madvise), SCMP_ACT_ALLOW, 0, none},
      // The driver's and the C library's locks; the worker has one thread, so a wait only
      // wakes itself.
      {SCMP_SYS(futex), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(sched_yield), SCMP_ACT_ALLOW, 0, none},
      // Clocks and identity: read-only facts about the process itself.
      {SCMP_SYS(clock_gettime), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(gettimeofday), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(clock_nanosleep), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(nanosleep), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(getpid), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(gettid), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(sysinfo), SCMP_ACT_ALLOW, 0, none},    // the driver sizes its caches by it
      {SCMP_SYS(getrandom), SCMP_ACT_ALLOW, 0, none},  // hash tables' seeds
      // A crash near the memory limit is caught and re-raised: its own signals, to itself only,
      // so the broker sees the driver's own signal.
      {SCMP_SYS(rt_sigprocmask), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(rt_sigaction), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(rt_sigreturn), SCMP_ACT_ALLOW, 0, none},
      {SCMP_SYS(sigaltstack), SCMP_ACT_ALLOW, 0, none},
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
  // Everything else (read, socket, connect, execve, clone, kill, ptrace, io_uring_setup,
  // personality, prctl, ...) kills; a debug run traps it to name it first.
  if (debugRun) {
    struct sigaction action {};
    action.sa_sigaction = OnRefusedCall;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigaction(SIGSYS, &action, nullptr);
  }
  return LoadFilter(rules, sizeof rules / sizeof rules[0],
                    debugRun ? SCMP_ACT_TRAP : SCMP_ACT_KILL_PROCESS, true);
}

// The number after `field` in this process's status, read through its descriptor.
std::size_t StatusField(int statusFd, const char* field) {
  char text[4096];
  const ssize_t got = pread(statusFd, text, sizeof text - 1, 0);
  text[got > 0 ? got : 0] = '\0';
  const char* at = std::strstr(text, field);
  if (!at) return 0;
  std::size_t value = 0;
  for (at += std::strlen(field); *at == ' ' || *at == '\t'; ++at) {
  }
  for (; *at >= '0' && *at <= '9'; ++at) value = value * 10 + static_cast<std::size_t>(*at - '0');
  return value;
}

}  // namespace

ShaderWorkerFds PrepareShaderWorker(int reportFd) {
  setsid();  // no controlling terminal to push keystrokes into
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) _exit(kUnconfinedExit);
  debugRun = std::getenv("VELLORAN_TRIAL_DEBUG") != nullptr;
  // Descriptors above the fixed places first, so no dup2 below lands on one still needed.
  const int report = fcntl(reportFd, F_DUPFD_CLOEXEC, 10);
  const int status = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  const int debug = debugRun ? fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 10) : -1;
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (report < 0 || status < 0 || devNull < 0) _exit(kUnconfinedExit);
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(devNull, fd);
  dup2(report, kReportFd);
  dup2(status, kStatusFd);
  if (debug >= 0) dup2(debug, kDebugFd);
  syscall(SYS_close_range, static_cast<unsigned>(kDebugFd + (debug >= 0 ? 1 : 0)), ~0u, 0u);
  // Mesa's shader cache writes files beside the game's and starts a thread to do it; llvmpipe
  // starts a thread per core. Neither helps a trial that compiles each shader once.
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  setenv("LP_NUM_THREADS", "0", 1);
  ShaderWorkerFds fds;
  fds.report = kReportFd;
  fds.status = kStatusFd;
  fds.debug = debug >= 0 ? kDebugFd : -1;
  return fds;
}

int LandlockAbi() {
  const long abi =
      syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi > 0 ? static_cast<int>(abi) : 0;
}

int RestrictFileSystem() {
  const int abi = LandlockAbi();
  if (abi < 1) return 0;
  LandlockRuleset attributes{kFsFirstAbi, 0, 0};
  std::size_t size = sizeof attributes.handledFs;
  if (abi >= 2) attributes.handledFs |= kFsRefer;
  if (abi >= 3) attributes.handledFs |= kFsTruncate;
  if (abi >= 4) {
    attributes.handledNet = kNetBindTcp | kNetConnectTcp;  // handled and never allowed
    size = offsetof(LandlockRuleset, scoped);
  }
  if (abi >= 5) attributes.handledFs |= kFsIoctlDev;
  if (abi >= 6) {
    attributes.scoped = kScopeAbstractUnix | kScopeSignal;
    size = sizeof attributes;
  }
  const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
  if (ruleset < 0) return 0;
  // The driver and the libraries it loads live beneath /usr; its options may be in /etc/drirc.
  // Nothing may be written, created, run or removed anywhere.
  const bool ok = AllowReading(ruleset, "/usr", true) &&
                  AllowReading(ruleset, "/etc/drirc", false) &&
                  syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
  close(ruleset);
  return ok ? static_cast<int>(abi) : 0;
}

int ThreadCount(int statusFd) {
  return static_cast<int>(StatusField(statusFd, "Threads:"));
}

std::size_t PeakAddressSpace(int statusFd) {
  return StatusField(statusFd, "VmPeak:") << 10;
}

bool ConfineShaderWorker(const ShaderWorkerFds& fds, double cpuSeconds, bool executableMemory) {
  // Whatever the driver left open (an X connection, a device) goes, and so do the standard
  // streams; in a debug run standard error stays, for the refused call's name.
  const unsigned keepUpTo = static_cast<unsigned>(fds.debug >= 0 ? kDebugFd : kStatusFd);
  if (syscall(SYS_close_range, 0u, static_cast<unsigned>(kReportFd - 1), 0u) != 0) return false;
  if (syscall(SYS_close_range, keepUpTo + 1, ~0u, 0u) != 0) return false;
  // No new descriptors, processes or file bytes, even through a call the filter would let by,
  // no core file, and CPU time only for the whole trial. (A debug run's standard error may be
  // a file, so there the worker may still write bytes to a file it holds.)
  const rlimit zero{0, 0};
  const rlim_t seconds = static_cast<rlim_t>(std::ceil(cpuSeconds)) + 1;
  const rlimit cpu{seconds, seconds + 1};
  if (setrlimit(RLIMIT_NOFILE, &zero) != 0 || setrlimit(RLIMIT_NPROC, &zero) != 0 ||
      (!debugRun && setrlimit(RLIMIT_FSIZE, &zero) != 0) || setrlimit(RLIMIT_CORE, &zero) != 0 ||
      setrlimit(RLIMIT_CPU, &cpu) != 0) {
    return false;
  }
  // No other process of the user may trace it or read its memory.
  if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) return false;
  return InstallShaderFilter(executableMemory);
}

void DebugNote(const ShaderWorkerFds& fds, const char* note) {
  if (fds.debug < 0) return;
  char line[200];
  const int length = std::snprintf(line, sizeof line, "velloran: shader trial worker: %s\n", note);
  if (length > 0) (void)!write(fds.debug, line, static_cast<std::size_t>(length));
}
