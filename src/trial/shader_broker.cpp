// shader_broker.cpp: the shader trial's worker, which builds the pairs in a GL context of its
// own, and its broker, which watches it and turns how it ended into verdicts.
//
// Broker and worker leave with _exit: they are forks of the game, and running its exit handlers
// or flushing its copied output buffers would repeat the game's own output.
#include "trial/shader_broker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "trial/channel.h"
#include "trial/confinement.h"
#include "trial/shader_confinement.h"

namespace {

// A worker whose address space came this close to its limit ran out of memory, even if the
// driver took the failed allocation quietly and reported an ordinary compile failure (which
// the game would then repeat without any limit).
constexpr std::size_t kMemoryMargin = std::size_t{16} << 20;

// What a worker writes to the broker: context made, a step begins, a pair is done.
constexpr char kReady = 'R';
constexpr char kVertexStep = 'V';
constexpr char kFragmentStep = 'F';
constexpr char kLinkStep = 'L';
constexpr char kPairDone = 'D';

// Leaves a forked process with its standard streams on /dev/null and no other descriptor than
// `keep`, which it returns as descriptor 3: the game's pipes and files are none of its business.
// It also leaves the terminal's session (no keystrokes pushed into the player's terminal) and
// can gain no privileges by running a program.
int KeepOnly(int keep) {
  setsid();
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  const int moved = fcntl(keep, F_DUPFD, 10);
  const int devNull = open("/dev/null", O_RDWR);
  if (moved < 0 || devNull < 0) _exit(1);
  dup2(devNull, STDIN_FILENO);
  dup2(devNull, STDOUT_FILENO);
  // A debug run keeps standard error, where the worker says how it was confined.
  if (!std::getenv("VELLORAN_TRIAL_DEBUG")) dup2(devNull, STDERR_FILENO);
  dup2(moved, 3);
  close_range(4, ~0U, 0);
  return 3;
}

// ---- worker ------------------------------------------------------------------------------

[[noreturn]] void OnAllocationFailure() {
  _exit(kOutOfMemoryExit);
}

std::size_t workerLimit = 0;  // the worker's address-space limit, once set
int workerStatusFd = -1;      // the worker's own status, opened before it was confined

// A driver that meets a failed allocation under the limit often crashes on it instead of
// reporting it; a crash that close to the limit is put down to memory.
void OnWorkerCrash(int number) {
  if (PeakAddressSpace(workerStatusFd) + kMemoryMargin > workerLimit) _exit(kOutOfMemoryExit);
  std::signal(number, SIG_DFL);
  raise(number);
}

// The handler runs on a stack of its own: a recursing compiler crashes by overflowing its stack.
void CatchCrashesNearTheLimit() {
  static char stack[64 * 1024];
  stack_t alternate{};
  alternate.ss_sp = stack;
  alternate.ss_size = sizeof stack;
  sigaltstack(&alternate, nullptr);
  struct sigaction action {};
  action.sa_handler = OnWorkerCrash;
  action.sa_flags = SA_ONSTACK;
  for (const int number : {SIGSEGV, SIGBUS, SIGABRT}) sigaction(number, &action, nullptr);
}

void Report(int fd, char what) {
  if (!WriteAll(fd, &what, 1)) _exit(1);
}

void CheckMemory(const ShaderTrialDriver& driver, std::size_t limit) {
  if (driver.outOfMemory() ||
      (limit > 0 && PeakAddressSpace(workerStatusFd) + kMemoryMargin > limit)) {
    _exit(kOutOfMemoryExit);
  }
}

// Drops what it can before the driver loads, opens a context, confines itself, then builds
// the pairs from `first` on exactly as the game will, saying before each step which one it
// starts, so a death can be put down to its step.
[[noreturn]] void RunWorker(const std::vector<ShaderPairTrial>& pairs, std::size_t first,
                            const ShaderTrialDriver& driver, const ShaderTrialLimits& limits,
                            int reportFd, pid_t broker) {
  DieWithParent(broker);
  const ShaderWorkerFds fds = PrepareShaderWorker(reportFd);
  reportFd = fds.report;
  workerStatusFd = fds.status;
  // Without a window the worker needs no display: it cannot reach the X server at all. The
  // file system is closed before the driver loads, while the process has one thread (Landlock
  // binds only the thread that asks); a window needs the display's socket and its
  // authority file first, so there it comes after, if the process still has one thread.
  const TrialContextKind kind = driver.pickContext();
  int landlock = 0;
  if (kind == TrialContextKind::Headless) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    landlock = RestrictFileSystem();
  }
  if (!driver.openContext(kind)) _exit(kNoContextExit);
  if (kind == TrialContextKind::Window && ThreadCount(fds.status) == 1) {
    landlock = RestrictFileSystem();
  }
  std::size_t limit = 0;
#ifndef VELLORAN_ASAN
  // Counted from what the worker holds with its context (the driver's code), so the limit
  // bounds what compiling takes. AddressSanitizer reserves terabytes of address space up
  // front; there the broker's watch on resident memory is the only bound.
  limit = PeakAddressSpace(fds.status) + limits.memoryBytes;
  const rlimit memory{limit, limit};
  setrlimit(RLIMIT_AS, &memory);
  workerLimit = limit;
  CatchCrashesNearTheLimit();
#endif
  std::set_new_handler(OnAllocationFailure);
  if (fds.debug >= 0) {
    char note[160];
    std::snprintf(note, sizeof note, "%s, %d thread(s), Landlock ABI %d",
                  kind == TrialContextKind::Headless ? "EGL surfaceless context, no X connection"
                                                     : "hidden GLX window",
                  ThreadCount(fds.status), landlock);
    DebugNote(fds, note);
  }
  if (!ConfineShaderWorker(fds, limits.totalSeconds)) _exit(kUnconfinedExit);
  Report(reportFd, kReady);
  for (std::size_t i = first; i < pairs.size(); ++i) {
    Report(reportFd, kVertexStep);
    const unsigned vertex = driver.compileStage(true, pairs[i].vertex);
    CheckMemory(driver, limit);
    Report(reportFd, kFragmentStep);
    const unsigned fragment = driver.compileStage(false, pairs[i].fragment);
    CheckMemory(driver, limit);
    Report(reportFd, kLinkStep);
    driver.linkStages(vertex, fragment);
    CheckMemory(driver, limit);
    Report(reportFd, kPairDone);
  }
  _exit(0);
}

// ---- broker ------------------------------------------------------------------------------

struct RunningWorker {
  pid_t pid = -1;
  int reportFd = -1;
  double started = 0.0;
  bool ready = false;   // its context is made
  bool inPair = false;  // it has begun a step of the pair `next` and not finished it
  ShaderStep step = ShaderStep::Vertex;
  double pairStarted = 0.0;
  std::size_t residentLimit = 0;  // resident bytes it may reach
};

void SendVerdict(int fd, std::size_t pair, ShaderVerdict verdict, ShaderStep step,
                 std::int32_t detail) {
  VerdictRecord record;
  record.pair = static_cast<std::uint32_t>(pair);
  record.verdict = verdict;
  record.step = step;
  record.detail = detail;
  if (!WriteAll(fd, &record, sizeof record)) _exit(1);  // the game is gone or has stopped waiting
}

bool StartWorker(const ShaderTrial& trial, std::size_t first, const ShaderTrialDriver& driver,
                 RunningWorker& worker) {
  const pid_t broker = getpid();
  int readFd = -1;
  const pid_t pid = ForkWithPipe(readFd, [&](int writeFd) {
    RunWorker(trial.pairs, first, driver, trial.limits, writeFd, broker);
  });
  if (pid < 0) return false;
  fcntl(readFd, F_SETFL, O_NONBLOCK);
  worker = RunningWorker{};
  worker.pid = pid;
  worker.reportFd = readFd;
  worker.started = MonotonicSeconds();
  return true;
}

// Takes in what a worker wrote; the verdicts of the pairs it finished go to the game at once.
// How many bytes there were: 0 at the end of its report, less when there are none yet.
ssize_t TakeReport(RunningWorker& worker, std::size_t& next, const ShaderTrialLimits& limits,
                   int outFd) {
  char bytes[64];
  const ssize_t got = read(worker.reportFd, bytes, sizeof bytes);
  for (ssize_t i = 0; i < got; ++i) {
    switch (bytes[i]) {
      case kReady:
        worker.ready = true;
        worker.residentLimit = ResidentBytes(worker.pid) + limits.memoryBytes;
        break;
      case kVertexStep:
        worker.inPair = true;
        worker.step = ShaderStep::Vertex;
        worker.pairStarted = MonotonicSeconds();
        break;
      case kFragmentStep:
        worker.step = ShaderStep::Fragment;
        break;
      case kLinkStep:
        worker.step = ShaderStep::Link;
        break;
      case kPairDone:
        SendVerdict(outFd, next++, ShaderVerdict::Passed, ShaderStep::Link, 0);
        worker.inPair = false;
        worker.step = ShaderStep::Vertex;
        break;
      default:
        break;
    }
  }
  return got;
}

// Tries every pair in order, one worker at a time; a worker that dies costs its pair and a
// fresh one goes on with the next.
[[noreturn]] void RunBroker(const ShaderTrial& trial, const ShaderTrialDriver& driver, int outFd,
                            pid_t game, double deadline) {
  DieWithParent(game);
  outFd = KeepOnly(outFd);
  signal(SIGPIPE, SIG_DFL);
  const ShaderTrialLimits& limits = trial.limits;
  const std::size_t count = trial.pairs.size();
  std::size_t next = 0;
  while (next < count) {
    RunningWorker worker;
    if (!StartWorker(trial, next, driver, worker)) {
      for (; next < count; ++next) {
        SendVerdict(outFd, next, ShaderVerdict::NotTried, ShaderStep::Vertex, kNoProcess);
      }
      break;
    }
    bool overTime = false, overMemory = false, outOfTrialTime = false;
    for (;;) {
      pollfd report{worker.reportFd, POLLIN, 0};
      poll(&report, 1, 5);
      if (TakeReport(worker, next, limits, outFd) == 0) break;
      const double now = MonotonicSeconds();
      outOfTrialTime = now > deadline;
      // Making the context gets the time of one pair.
      overTime = worker.inPair ? now - worker.pairStarted > limits.pairSeconds
                               : !worker.ready && now - worker.started > limits.pairSeconds;
      overMemory = worker.ready && ResidentBytes(worker.pid) > worker.residentLimit;
      if (outOfTrialTime || overTime || overMemory) {
        kill(worker.pid, SIGKILL);
        break;
      }
    }
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    // What it wrote just before it was stopped still counts (a pair it finished passed).
    while (TakeReport(worker, next, limits, outFd) > 0) {
    }
    close(worker.reportFd);
    if (next == count) break;
    const bool lostContext =
        !worker.ready || (WIFEXITED(status) && WEXITSTATUS(status) == kNoContextExit);
    if (outOfTrialTime || lostContext) {
      const std::int32_t cause = outOfTrialTime ? kOutOfTime : kNoContext;
      for (; next < count; ++next) {
        SendVerdict(outFd, next, ShaderVerdict::NotTried, ShaderStep::Vertex, cause);
      }
      break;
    }
    // Stopped just after it finished a pair: the next pair was not begun, so it gets a fresh
    // worker. One that died between two pairs by itself is charged with the next one, so
    // every new worker makes progress.
    if (!worker.inPair && (overTime || overMemory)) continue;
    ShaderVerdict verdict = ShaderVerdict::Crashed;
    std::int32_t detail = 0;
    if (overTime) {
      verdict = ShaderVerdict::TimedOut;
    } else if (overMemory || (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryExit)) {
      verdict = ShaderVerdict::OutOfMemory;
    } else if (WIFSIGNALED(status)) {
      detail = WTERMSIG(status);
    } else if (WIFEXITED(status)) {
      detail = -WEXITSTATUS(status);
    }
    SendVerdict(outFd, next++, verdict, worker.step, detail);
  }
  _exit(0);
}

}  // namespace

void RunShaderBroker(const ShaderTrial& trial, const ShaderTrialDriver& driver, int outFd,
                     pid_t game, double deadline) {
  RunBroker(trial, driver, outFd, game, deadline);
}
