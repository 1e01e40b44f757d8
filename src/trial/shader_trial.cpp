// shader_trial.cpp: the shader trial's broker and worker, and the game's side of its pipe.
//
// Broker and worker leave with _exit: they are forks of the game, and running its exit handlers
// or flushing its copied output buffers would repeat the game's own output.
#include "trial/shader_trial.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "trial/limits.h"
#include "trial/safe_file.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELLORAN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLORAN_ASAN 1
#endif
#endif

namespace {

constexpr int kOutOfMemoryExit = 99;  // the worker's allocation failed, or it neared its limit
constexpr int kNoContextExit = 98;    // the worker could not make a GL context
// A worker whose address space came this close to its limit ran out of memory, even if the
// driver took the failed allocation quietly and reported an ordinary compile failure (which
// the game would then repeat without any limit).
constexpr std::size_t kMemoryMargin = std::size_t{16} << 20;
// The game waits this much past the broker's own deadline, so the broker's verdicts come first.
constexpr double kDeadlineGrace = 0.5;

// What a worker writes to the broker: context made, a step begins, a pair is done.
constexpr char kReady = 'R';
constexpr char kVertexStep = 'V';
constexpr char kFragmentStep = 'F';
constexpr char kLinkStep = 'L';
constexpr char kPairDone = 'D';

// Why a pair was not tried at all (the detail of a NotTried verdict).
enum NotTriedCause : std::int32_t { kOutOfTime, kNoContext, kNoProcess, kTrialGone, kNotPlanned };

// One verdict, from the broker to the game.
struct VerdictRecord {
  std::uint32_t pair = 0;
  ShaderVerdict verdict = ShaderVerdict::Passed;
  ShaderStep step = ShaderStep::Vertex;
  std::int32_t detail = 0;  // a signal (> 0) or minus an exit status; a NotTriedCause
};

ShaderTrial* installedTrial = nullptr;

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

// "./shader/x" and "shader/x" name the same file.
std::string SamePath(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().string();
}

// Resident bytes of a process.
std::size_t ResidentBytes(pid_t pid) {
  char name[64];
  std::snprintf(name, sizeof name, "/proc/%d/statm", static_cast<int>(pid));
  FILE* file = std::fopen(name, "r");
  if (!file) return 0;
  unsigned long size = 0, resident = 0;
  const int read = std::fscanf(file, "%lu %lu", &size, &resident);
  std::fclose(file);
  return read == 2 ? resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// The largest address space this process has had. Plain system calls only: a crashed worker's
// signal handler asks it too.
std::size_t PeakAddressSpace() {
  const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[4096];
  const ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  text[got > 0 ? got : 0] = '\0';
  const char* field = std::strstr(text, "VmPeak:");
  if (!field) return 0;
  std::size_t kib = 0;
  for (field += 7; *field == ' ' || *field == '\t'; ++field) {
  }
  for (; *field >= '0' && *field <= '9'; ++field)
    kib = kib * 10 + static_cast<std::size_t>(*field - '0');
  return kib << 10;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Ends this process with its parent, so no trial outlives the game.
void DieWithParent(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);  // the parent left before the line above
}

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
  dup2(devNull, STDERR_FILENO);
  dup2(moved, 3);
  close_range(4, ~0U, 0);
  return 3;
}

// ---- worker ------------------------------------------------------------------------------

[[noreturn]] void OnAllocationFailure() {
  _exit(kOutOfMemoryExit);
}

std::size_t workerLimit = 0;  // the worker's address-space limit, once set

// A driver that meets a failed allocation under the limit often crashes on it instead of
// reporting it; a crash that close to the limit is put down to memory.
void OnWorkerCrash(int number) {
  if (PeakAddressSpace() + kMemoryMargin > workerLimit) _exit(kOutOfMemoryExit);
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
  if (driver.outOfMemory() || (limit > 0 && PeakAddressSpace() + kMemoryMargin > limit)) {
    _exit(kOutOfMemoryExit);
  }
}

// Opens a context, then builds the pairs from `first` on exactly as the game will, saying
// before each step which one it starts, so a death can be put down to its step.
[[noreturn]] void RunWorker(const std::vector<ShaderPairTrial>& pairs, std::size_t first,
                            const ShaderTrialDriver& driver, const ShaderTrialLimits& limits,
                            int reportFd, pid_t broker) {
  DieWithParent(broker);
  reportFd = KeepOnly(reportFd);
  rlimit none{0, 0};
  setrlimit(RLIMIT_CORE, &none);
  if (!driver.openContext()) _exit(kNoContextExit);
  std::size_t limit = 0;
#ifndef VELLORAN_ASAN
  // Counted from what the worker holds with its context (the driver's code, its threads'
  // stacks), so the limit bounds what compiling takes. AddressSanitizer reserves terabytes of
  // address space up front; there the broker's watch on resident memory is the only bound.
  limit = PeakAddressSpace() + limits.memoryBytes;
  const rlimit memory{limit, limit};
  setrlimit(RLIMIT_AS, &memory);
  workerLimit = limit;
  CatchCrashesNearTheLimit();
#else
  (void)limits;
#endif
  std::set_new_handler(OnAllocationFailure);
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
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t broker = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return false;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    RunWorker(trial.pairs, first, driver, trial.limits, pipeFds[1], broker);
  }
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  worker = RunningWorker{};
  worker.pid = pid;
  worker.reportFd = pipeFds[0];
  worker.started = Now();
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
        worker.pairStarted = Now();
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
      const double now = Now();
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

// ---- the game's side ---------------------------------------------------------------------

// Both files of a pair, each whole or not at all.
ShaderPairTrial ReadPair(const std::string& vertexPath, const std::string& fragmentPath) {
  ShaderPairTrial pair;
  pair.vertexPath = vertexPath;
  pair.fragmentPath = fragmentPath;
  const bool vertexRead =
      ReadRunFile(vertexPath, kMaxShaderFileBytes, pair.vertex) == RunFileStatus::Read;
  const bool fragmentRead =
      ReadRunFile(fragmentPath, kMaxShaderFileBytes, pair.fragment) == RunFileStatus::Read;
  pair.read = vertexRead && fragmentRead;
  return pair;
}

std::string Reason(const ShaderTrial& trial, const VerdictRecord& record) {
  const char* doing = record.step == ShaderStep::Link ? "linking it" : "compiling it";
  char words[160];
  switch (record.verdict) {
    case ShaderVerdict::Crashed:
      if (record.detail > 0) {
        std::snprintf(words, sizeof words, "%s crashed the driver in a trial run (signal %d)",
                      doing, record.detail);
      } else {
        std::snprintf(words, sizeof words, "%s crashed the driver in a trial run (exit status %d)",
                      doing, -record.detail);
      }
      break;
    case ShaderVerdict::OutOfMemory:
      std::snprintf(words, sizeof words, "%s needed more memory than allowed (%zu MiB)", doing,
                    trial.limits.memoryBytes >> 20);
      break;
    case ShaderVerdict::TimedOut:
      std::snprintf(words, sizeof words, "%s took too long (over %g s)", doing,
                    trial.limits.pairSeconds);
      break;
    case ShaderVerdict::NotTried:
      if (record.detail == kOutOfTime) {
        std::snprintf(words, sizeof words, "it was not tried within the shader trial's %g s",
                      trial.limits.totalSeconds);
      } else {
        std::snprintf(words, sizeof words, "it could not be tried (%s)",
                      record.detail == kNoContext    ? "no GL context for a trial run"
                      : record.detail == kNoProcess  ? "no process for a trial run"
                      : record.detail == kNotPlanned ? "it was not among the files tried"
                                                     : "the trial ended early");
      }
      break;
    case ShaderVerdict::Pending:
    case ShaderVerdict::Passed:
      return "";
  }
  return words;
}

void Judge(ShaderTrial& trial, const VerdictRecord& record) {
  if (record.pair >= trial.pairs.size()) return;
  ShaderPairTrial& pair = trial.pairs[record.pair];
  if (pair.verdict != ShaderVerdict::Pending) return;
  pair.verdict = record.verdict;
  pair.step = record.step;
  pair.reason = Reason(trial, record);
}

// Every pair still waiting is refused for `cause`.
void RefusePending(ShaderTrial& trial, NotTriedCause cause) {
  for (std::size_t i = 0; i < trial.pairs.size(); ++i) {
    VerdictRecord record;
    record.pair = static_cast<std::uint32_t>(i);
    record.verdict = ShaderVerdict::NotTried;
    record.detail = cause;
    Judge(trial, record);
  }
}

// Waits for the broker's next verdict until the deadline; false when there is none to wait for.
bool ReadVerdict(ShaderTrial& trial) {
  if (trial.readFd < 0) return false;
  for (;;) {
    const double left = trial.deadline - Now();
    if (left <= 0) {
      RefusePending(trial, kOutOfTime);
      return false;
    }
    pollfd in{trial.readFd, POLLIN, 0};
    const int ready = poll(&in, 1, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    VerdictRecord record;
    std::size_t have = 0;
    while (have < sizeof record) {
      const ssize_t got =
          read(trial.readFd, reinterpret_cast<char*>(&record) + have, sizeof record - have);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        RefusePending(trial, kTrialGone);
        return false;
      }
      have += static_cast<std::size_t>(got);
    }
    Judge(trial, record);
    return true;
  }
}

}  // namespace

bool StartShaderTrial(ShaderTrial& trial, const std::vector<ShaderPairPaths>& pairs,
                      const ShaderTrialDriver& driver, ShaderTrialLimits limits) {
  trial = ShaderTrial{};
  trial.limits = limits;
  for (const ShaderPairPaths& paths : pairs) {
    trial.pairs.push_back(ReadPair(paths.vertex, paths.fragment));
  }
  const double started = Now();
  trial.deadline = started + limits.totalSeconds + kDeadlineGrace;
  const pid_t game = getpid();
  int pipeFds[2];
  pid_t pid = -1;
  if (pipe2(pipeFds, O_CLOEXEC) == 0) {
    pid = fork();
    if (pid == 0) {
      close(pipeFds[0]);
      RunBroker(trial, driver, pipeFds[1], game, started + limits.totalSeconds);
    }
    close(pipeFds[1]);
    if (pid < 0) close(pipeFds[0]);
  }
  if (pid < 0) {
    RefusePending(trial, kNoProcess);
    return false;
  }
  trial.broker = pid;
  trial.readFd = pipeFds[0];
  return true;
}

const ShaderPairTrial& AwaitShaderPair(ShaderTrial& trial, const std::string& vertexPath,
                                       const std::string& fragmentPath) {
  const std::string vertexKey = SamePath(vertexPath);
  const std::string fragmentKey = SamePath(fragmentPath);
  std::size_t index = 0;
  while (index < trial.pairs.size() && (SamePath(trial.pairs[index].vertexPath) != vertexKey ||
                                        SamePath(trial.pairs[index].fragmentPath) != fragmentKey)) {
    ++index;
  }
  if (index == trial.pairs.size()) {
    // Not in the plan: read like the others, never compiled.
    trial.pairs.push_back(ReadPair(vertexPath, fragmentPath));
    VerdictRecord record;
    record.pair = static_cast<std::uint32_t>(index);
    record.verdict = ShaderVerdict::NotTried;
    record.detail = kNotPlanned;
    Judge(trial, record);
  }
  while (trial.pairs[index].verdict == ShaderVerdict::Pending) {
    if (!ReadVerdict(trial)) RefusePending(trial, kTrialGone);
  }
  return trial.pairs[index];
}

void FinishShaderTrial(ShaderTrial& trial) {
  if (trial.readFd >= 0) close(trial.readFd);
  trial.readFd = -1;
  if (trial.broker > 0) {
    // Every verdict the game needed is in; whatever the broker still does is not wanted.
    kill(trial.broker, SIGKILL);
    while (waitpid(trial.broker, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  trial.broker = -1;
  RefusePending(trial, kTrialGone);
}

void InstallShaderTrial(ShaderTrial* trial) {
  installedTrial = trial;
}

const ShaderPairTrial* TriedShaderPair(const char* vertexPath, const char* fragmentPath) {
  return installedTrial ? &AwaitShaderPair(*installedTrial, vertexPath, fragmentPath) : nullptr;
}
