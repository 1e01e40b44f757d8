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
#include <vector>

#include "trial/channel.h"
#include "trial/confinement.h"
#include "trial/limits.h"
#include "trial/shader_confinement.h"

namespace {

// A worker whose address space came this close to its limit ran out of memory, even if the
// driver took the failed allocation quietly and reported an ordinary compile failure (which
// the game would then repeat without any limit).
constexpr std::size_t kMemoryMargin = std::size_t{16} << 20;

// What a worker writes to the broker, once each and in this order: context made, then the
// step it begins. Only a worker that then exits normally has tried its pair; a worker taken
// over by its source can still forge the rest of its own sequence, but never another pair's.
constexpr char kSequence[] = {'R', 'V', 'F', 'L', 'D'};
constexpr std::size_t kSequenceLength = sizeof kSequence;

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

// The worker refuses a source it cannot draw and that is too long to be drawn safely untried.
void RefuseUndrawable(bool draws, const std::string& source) {
  if (!draws && source.size() > kMaxUndrawnShaderBytes) _exit(kTooLargeExit);
}

// Drops what it can before the driver loads, opens a context, confines itself, then builds
// `pair` exactly as the game will and, without a window, draws it once, saying before each
// step which one it starts, so a death can be put down to its step.
[[noreturn]] void RunWorker(const ShaderPairTrial& pair, const ShaderTrialDriver& driver,
                            const ShaderTrialLimits& limits, int reportFd, pid_t broker) {
  DieWithParent(broker);
  const ShaderWorkerFds fds = PrepareShaderWorker(reportFd);
  reportFd = fds.report;
  workerStatusFd = fds.status;
  // Without a window the worker needs no display: it cannot reach the X server at all. The
  // file system is closed before the driver loads, while the process has one thread (Landlock
  // binds only the thread that asks); a window needs the display's socket and its
  // authority file first, so there it comes after, and a worker whose context started a
  // thread by then could not be bound: it tries nothing.
  const TrialContextKind kind = driver.pickContext();
  int landlock = 0;
  if (kind == TrialContextKind::Headless) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    landlock = RestrictFileSystem();
  }
  if (!driver.openContext(kind)) _exit(kNoContextExit);
  if (kind == TrialContextKind::Window && LandlockAbi() > 0) {
    if (ThreadCount(fds.status) != 1) _exit(kThreadedExit);
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
  // Drawing needs the renderer's machine code, so only a worker that draws may make memory
  // executable; a window-backed one only compiles and links.
  const bool draws = kind == TrialContextKind::Headless;
  if (!ConfineShaderWorker(fds, limits.totalSeconds, draws)) _exit(kUnconfinedExit);
  Report(reportFd, kSequence[0]);
  Report(reportFd, kSequence[1]);
  RefuseUndrawable(draws, pair.vertex);
  const unsigned vertex = driver.compileStage(true, pair.vertex);
  CheckMemory(driver, limit);
  Report(reportFd, kSequence[2]);
  RefuseUndrawable(draws, pair.fragment);
  const unsigned fragment = driver.compileStage(false, pair.fragment);
  CheckMemory(driver, limit);
  Report(reportFd, kSequence[3]);
  const unsigned program = driver.linkStages(vertex, fragment);
  CheckMemory(driver, limit);
  Report(reportFd, kSequence[4]);
  if (draws && pair.pass.drawn) driver.drawProgram(program, pair.pass);
  CheckMemory(driver, limit);
  _exit(0);
}

// ---- broker ------------------------------------------------------------------------------

// Workers at once: making a context is most of a worker's time, and two cores make two at once.
constexpr std::size_t kParallelWorkers = 2;

struct RunningWorker {
  pid_t pid = -1;
  int reportFd = -1;
  std::size_t pair = 0;
  double started = 0.0;
  std::size_t said = 0;  // how much of kSequence it has reported, in order
  bool forged = false;   // it wrote anything else
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

// Every pair from `next` on is refused untried for `cause`.
void RefuseRest(int fd, std::size_t next, std::size_t count, NotTriedCause cause) {
  for (; next < count; ++next)
    SendVerdict(fd, next, ShaderVerdict::NotTried, ShaderStep::Vertex, cause);
}

bool StartWorker(const ShaderTrial& trial, std::size_t pair, const ShaderTrialDriver& driver,
                 RunningWorker& worker) {
  const pid_t broker = getpid();
  int readFd = -1;
  const pid_t pid = ForkWithPipe(readFd, [&](int writeFd) {
    RunWorker(trial.pairs[pair], driver, trial.limits, writeFd, broker);
  });
  if (pid < 0) return false;
  fcntl(readFd, F_SETFL, O_NONBLOCK);
  worker = RunningWorker{};
  worker.pid = pid;
  worker.reportFd = readFd;
  worker.pair = pair;
  worker.started = MonotonicSeconds();
  return true;
}

// Takes in what a worker wrote and checks it against its sequence. How many bytes there were:
// 0 at the end of its report, less when there are none yet.
ssize_t TakeReport(RunningWorker& worker, const ShaderTrialLimits& limits) {
  char bytes[64];
  const ssize_t got = read(worker.reportFd, bytes, sizeof bytes);
  for (ssize_t i = 0; i < got && !worker.forged; ++i) {
    if (worker.said == kSequenceLength || bytes[i] != kSequence[worker.said]) {
      worker.forged = true;
      break;
    }
    switch (worker.said++) {
      case 0:  // its context is made: what it holds now is its own, not the pair's
        worker.residentLimit = ResidentBytes(worker.pid) + limits.memoryBytes;
        break;
      case 1:
        worker.step = ShaderStep::Vertex;
        worker.pairStarted = MonotonicSeconds();
        break;
      case 2:
        worker.step = ShaderStep::Fragment;
        break;
      case 3:
        worker.step = ShaderStep::Link;
        break;
      default:
        worker.step = ShaderStep::Draw;
        break;
    }
  }
  return got;
}

// How a worker that had its context and ended (or was ended) leaves its pair.
VerdictRecord Judge(const RunningWorker& worker, int status, bool overTime, bool overMemory) {
  VerdictRecord record;
  record.verdict = ShaderVerdict::Crashed;
  record.step = worker.step;
  const bool exited = WIFEXITED(status);
  if (worker.forged) {
    record.verdict = ShaderVerdict::Forged;
  } else if (overTime) {
    record.verdict = ShaderVerdict::TimedOut;
  } else if (overMemory || (exited && WEXITSTATUS(status) == kOutOfMemoryExit)) {
    record.verdict = ShaderVerdict::OutOfMemory;
  } else if (exited && WEXITSTATUS(status) == kTooLargeExit) {
    record.verdict = ShaderVerdict::TooLarge;
  } else if (exited && WEXITSTATUS(status) == 0 && worker.said == kSequenceLength) {
    record.verdict = ShaderVerdict::Passed;
  } else if (WIFSIGNALED(status)) {
    record.detail = WTERMSIG(status);
  } else if (exited) {
    record.detail = -WEXITSTATUS(status);
  }
  return record;
}

// Ends a worker and reads what it wrote to the end; its exit status.
int StopWorker(RunningWorker& worker, const ShaderTrialLimits& limits, bool kill) {
  if (kill) ::kill(worker.pid, SIGKILL);
  int status = 0;
  while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
  }
  while (TakeReport(worker, limits) > 0) {
  }
  close(worker.reportFd);
  return status;
}

// Tries the pairs in order, a fresh worker for each, so no worker can speak for another pair.
// Verdicts go to the game as each worker ends; a cause that stops the whole trial refuses every
// pair still without one.
[[noreturn]] void RunBroker(const ShaderTrial& trial, const ShaderTrialDriver& driver, int outFd,
                            pid_t game, double deadline) {
  DieWithParent(game);
  outFd = KeepOnly(outFd);
  signal(SIGPIPE, SIG_DFL);
  const ShaderTrialLimits& limits = trial.limits;
  const std::size_t count = trial.pairs.size();
  std::size_t next = 0;
  std::vector<RunningWorker> running;
  const auto refuseAll = [&](NotTriedCause cause) {
    for (RunningWorker& other : running) {
      StopWorker(other, limits, true);
      SendVerdict(outFd, other.pair, ShaderVerdict::NotTried, ShaderStep::Vertex, cause);
    }
    RefuseRest(outFd, next, count, cause);
    _exit(0);
  };
  while (next < count || !running.empty()) {
    while (next < count && running.size() < kParallelWorkers) {
      if (MonotonicSeconds() > deadline) refuseAll(kOutOfTime);
      RunningWorker worker;
      if (!StartWorker(trial, next, driver, worker)) refuseAll(kNoProcess);
      ++next;
      running.push_back(worker);
    }
    std::vector<pollfd> reports;
    for (const RunningWorker& worker : running) reports.push_back({worker.reportFd, POLLIN, 0});
    poll(reports.data(), reports.size(), 5);
    for (std::size_t i = 0; i < running.size();) {
      RunningWorker worker = running[i];
      const bool ended = TakeReport(worker, limits) == 0;
      const double now = MonotonicSeconds();
      const bool outOfTrialTime = now > deadline;
      // Making the context gets the time of one pair.
      const bool ready = worker.said > 0;
      const bool overTime = worker.said > 1 ? now - worker.pairStarted > limits.pairSeconds
                                            : !ready && now - worker.started > limits.pairSeconds;
      const bool overMemory = ready && ResidentBytes(worker.pid) > worker.residentLimit;
      if (!ended && !worker.forged && !outOfTrialTime && !overTime && !overMemory) {
        running[i++] = worker;
        continue;
      }
      running.erase(running.begin() + static_cast<long>(i));
      const int status = StopWorker(worker, limits, !ended);
      if (outOfTrialTime) {
        SendVerdict(outFd, worker.pair, ShaderVerdict::NotTried, ShaderStep::Vertex, kOutOfTime);
        refuseAll(kOutOfTime);
      }
      // Every worker makes its context before it reads its pair: one that could not, could
      // not for the other pairs either.
      if (worker.said == 0 && !worker.forged) {
        const bool threaded = WIFEXITED(status) && WEXITSTATUS(status) == kThreadedExit;
        const NotTriedCause cause = threaded ? kThreadedWindow : kNoContext;
        SendVerdict(outFd, worker.pair, ShaderVerdict::NotTried, ShaderStep::Vertex, cause);
        refuseAll(cause);
      }
      const VerdictRecord record = Judge(worker, status, overTime, overMemory);
      SendVerdict(outFd, worker.pair, record.verdict, record.step, record.detail);
    }
  }
  _exit(0);
}

}  // namespace

void RunShaderBroker(const ShaderTrial& trial, const ShaderTrialDriver& driver, int outFd,
                     pid_t game, double deadline) {
  RunBroker(trial, driver, outFd, game, deadline);
}
