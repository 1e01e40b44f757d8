// file_trial.cpp: the broker, its workers and the loaders' gate.
//
// Broker and workers leave with _exit: they are forks of the game, and running its exit
// handlers or flushing its copied output buffers would repeat the game's own output.
#include "gfx/file_trial.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <new>
#include <unordered_set>

#include "gfx/trial_loads.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELLORAN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLORAN_ASAN 1
#endif
#endif

namespace {

constexpr int kOutOfMemoryExit = 99;        // a worker's allocation failed under its limit
constexpr std::uint8_t kEndOfTrial = 0xFF;  // the broker's last record
constexpr std::size_t kMaxReportBytes = kMaxTrialTexturesPerModel * (kMaxTrialPath + 8) + 16;

FileTrial* installedTrial = nullptr;

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
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

bool ReadAll(int fd, void* data, std::size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

void AppendU32(std::string& out, std::uint32_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// ---- worker ------------------------------------------------------------------------------

[[noreturn]] void OnAllocationFailure() {
  _exit(kOutOfMemoryExit);
}

// Ends this process with its parent, so no trial outlives the game (or the broker).
void DieWithParent(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);  // the parent left before the line above
}

void LimitWorker(const TrialLimits& limits, std::size_t addressSpaceAtFork) {
  const int devNull = open("/dev/null", O_RDWR);
  // A decoder's own complaints (an assertion's text, say) are not the player's business.
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
  }
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

// The report a worker leaves in its pipe: 'D' or 'F' (decoded or failed), the texture paths
// (length-prefixed), then 'E'. A worker that dies before the 'E' has crashed.
[[noreturn]] void RunWorker(const TrialFile& file, const TrialLimits& limits,
                            std::size_t addressSpace, int reportFd, pid_t broker) {
  DieWithParent(broker);
  LimitWorker(limits, addressSpace);
  TrialOutcome outcome;
  switch (file.kind) {
    case FileKind::Model:
      outcome = TrialLoadModel(file.path);
      break;
    case FileKind::Image:
      outcome = TrialLoadImage(file.path);
      break;
    case FileKind::Font:
      outcome = TrialLoadFont(file.path);
      break;
  }
  std::string report(1, outcome.loaded ? 'D' : 'F');
  std::size_t textures = 0;
  for (const std::string& path : outcome.texturePaths) {
    if (textures == kMaxTrialTexturesPerModel) break;
    if (path.size() > kMaxTrialPath) continue;
    AppendU32(report, static_cast<std::uint32_t>(path.size()));
    report += path;
    ++textures;
  }
  report += 'E';
  _exit(WriteAll(reportFd, report.data(), report.size()) ? 0 : 1);
}

// ---- broker ------------------------------------------------------------------------------

struct RunningWorker {
  pid_t pid = -1;
  int reportFd = -1;
  TrialFile file;
  std::string key;  // the absolute path the game looks the record up by
  double started = 0.0;
  std::string report;
  bool overMemory = false;
  bool overTime = false;
};

void SendRecord(int fd, const std::string& path, const TrialRecord& record) {
  std::string out;
  out += static_cast<char>(record.verdict);
  out += static_cast<char>(record.kind);
  out += static_cast<char>(record.decoded ? 1 : 0);
  std::int32_t signal = record.signal;
  out.append(reinterpret_cast<const char*>(&signal), sizeof signal);
  std::int64_t peak = record.peakKiB;
  out.append(reinterpret_cast<const char*>(&peak), sizeof peak);
  AppendU32(out, static_cast<std::uint32_t>(path.size()));
  out += path;
  WriteAll(fd, out.data(), out.size());
}

// Turns a finished worker into its record, and a passed model's report into its textures.
TrialRecord JudgeWorker(const RunningWorker& worker, int status, const rusage& usage,
                        std::vector<std::string>& textures) {
  TrialRecord record;
  record.kind = worker.file.kind;
  record.peakKiB = usage.ru_maxrss;
  const std::string& report = worker.report;
  const bool complete = !report.empty() && report.back() == 'E';
  if (worker.overTime || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
    record.verdict = TrialVerdict::TimedOut;
  } else if (worker.overMemory || (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemoryExit)) {
    record.verdict = TrialVerdict::OutOfMemory;
  } else if (WIFSIGNALED(status)) {
    record.verdict = TrialVerdict::Crashed;
    record.signal = WTERMSIG(status);
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !complete) {
    record.verdict = TrialVerdict::Crashed;
    record.signal = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
  } else {
    record.decoded = report[0] == 'D';
    for (std::size_t at = 1; at + 4 < report.size();) {
      std::uint32_t length = 0;
      std::memcpy(&length, report.data() + at, sizeof length);
      at += sizeof length;
      if (length > report.size() - 1 - at) break;
      textures.push_back(report.substr(at, length));
      at += length;
    }
  }
  return record;
}

bool StartWorker(const TrialFile& file, const TrialLimits& limits, std::size_t addressSpace,
                 RunningWorker& worker) {
  const pid_t broker = getpid();
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return false;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    RunWorker(file, limits, addressSpace, pipeFds[1], broker);
  }
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  worker = RunningWorker{};
  worker.pid = pid;
  worker.reportFd = pipeFds[0];
  worker.file = file;
  worker.key = AbsolutePath(file.path);
  worker.started = Now();
  return true;
}

void DrainReport(RunningWorker& worker) {
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(worker.reportFd, buffer, sizeof buffer);
    if (got <= 0) return;
    if (worker.report.size() < kMaxReportBytes)
      worker.report.append(buffer, static_cast<size_t>(got));
  }
}

[[noreturn]] void RunBroker(std::vector<TrialFile> plan, const TrialLimits& limits, int outFd,
                            pid_t game) {
  DieWithParent(game);
  signal(SIGPIPE, SIG_DFL);
  const std::size_t addressSpace = StatmBytes(getpid(), 0);
  const std::size_t residentLimit = StatmBytes(getpid(), 1) + limits.memoryBytes;

  std::deque<TrialFile> queue;
  std::unordered_set<std::string> queued;  // absolute paths: each file is tried once
  for (TrialFile& file : plan) {
    if (file.path.size() <= kMaxTrialPath && queued.insert(AbsolutePath(file.path)).second) {
      queue.push_back(std::move(file));
    }
  }
  std::vector<RunningWorker> running;
  while (!queue.empty() || !running.empty()) {
    while (!queue.empty() && static_cast<int>(running.size()) < std::max(1, limits.parallel)) {
      RunningWorker worker;
      if (!StartWorker(queue.front(), limits, addressSpace, worker)) {
        // No process for this file: it is refused like one that crashed.
        TrialRecord record;
        record.kind = queue.front().kind;
        record.verdict = TrialVerdict::Crashed;
        SendRecord(outFd, AbsolutePath(queue.front().path), record);
      } else {
        running.push_back(std::move(worker));
      }
      queue.pop_front();
    }
    std::vector<pollfd> fds;
    for (const RunningWorker& worker : running) fds.push_back({worker.reportFd, POLLIN, 0});
    poll(fds.data(), fds.size(), 2);

    for (std::size_t i = 0; i < running.size();) {
      RunningWorker& worker = running[i];
      DrainReport(worker);
      int status = 0;
      rusage usage{};
      pid_t done = wait4(worker.pid, &status, WNOHANG, &usage);
      if (done == 0) {
        if (Now() - worker.started > limits.seconds) worker.overTime = true;
        if (StatmBytes(worker.pid, 1) > residentLimit) worker.overMemory = true;
        if (!worker.overTime && !worker.overMemory) {
          ++i;
          continue;
        }
        kill(worker.pid, SIGKILL);
        done = wait4(worker.pid, &status, 0, &usage);
      }
      DrainReport(worker);
      close(worker.reportFd);
      std::vector<std::string> textures;
      const TrialRecord record = JudgeWorker(worker, status, usage, textures);
      SendRecord(outFd, worker.key, record);
      // A model's textures are tried next: its loader asks for them right after the model.
      for (auto it = textures.rbegin(); it != textures.rend(); ++it) {
        if (queued.insert(AbsolutePath(*it)).second) queue.push_front({*it, FileKind::Image});
      }
      running.erase(running.begin() + static_cast<long>(i));
    }
  }
  const char end = static_cast<char>(kEndOfTrial);
  WriteAll(outFd, &end, 1);
  _exit(0);
}

const char* VerdictWords(TrialVerdict verdict) {
  switch (verdict) {
    case TrialVerdict::Crashed:
      return "reading it crashed the decoder in a trial run";
    case TrialVerdict::OutOfMemory:
      return "reading it needed more memory than allowed";
    case TrialVerdict::TimedOut:
      return "reading it took too long";
    case TrialVerdict::Passed:
      break;
  }
  return "";
}

// One record from the broker; false at the end of the trial or when the broker is gone.
bool ReadRecord(FileTrial& trial) {
  std::uint8_t head[3];
  if (!ReadAll(trial.readFd, head, 1) || head[0] == kEndOfTrial) return false;
  std::int32_t signal = 0;
  std::int64_t peak = 0;
  std::uint32_t length = 0;
  if (!ReadAll(trial.readFd, head + 1, 2) || !ReadAll(trial.readFd, &signal, sizeof signal) ||
      !ReadAll(trial.readFd, &peak, sizeof peak) ||
      !ReadAll(trial.readFd, &length, sizeof length) || length > kMaxTrialPath) {
    return false;
  }
  std::string path(length, '\0');
  if (!ReadAll(trial.readFd, path.data(), length)) return false;
  TrialRecord record;
  record.verdict = static_cast<TrialVerdict>(head[0]);
  record.kind = static_cast<FileKind>(head[1]);
  record.decoded = head[2] != 0;
  record.signal = signal;
  record.peakKiB = peak;
  if (record.verdict != TrialVerdict::Passed) {
    char words[160];
    if (record.verdict == TrialVerdict::Crashed && record.signal > 0) {
      std::snprintf(words, sizeof words, "%s (signal %d)", VerdictWords(record.verdict),
                    record.signal);
    } else if (record.verdict == TrialVerdict::OutOfMemory) {
      std::snprintf(words, sizeof words, "%s (%zu MiB)", VerdictWords(record.verdict),
                    trial.limits.memoryBytes >> 20);
    } else if (record.verdict == TrialVerdict::TimedOut) {
      std::snprintf(words, sizeof words, "%s (over %g s)", VerdictWords(record.verdict),
                    trial.limits.seconds);
    } else {
      std::snprintf(words, sizeof words, "%s", VerdictWords(record.verdict));
    }
    record.reason = words;
  }
  trial.records[path] = std::move(record);
  return true;
}

}  // namespace

bool StartFileTrial(FileTrial& trial, const std::vector<TrialFile>& plan, TrialLimits limits) {
  const pid_t game = getpid();
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return false;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    RunBroker(plan, limits, pipeFds[1], game);
  }
  close(pipeFds[1]);
  trial.broker = pid;
  trial.readFd = pipeFds[0];
  trial.finished = false;
  trial.limits = limits;
  trial.records.clear();
  return true;
}

const TrialRecord* AwaitTrialRecord(FileTrial& trial, const std::string& path) {
  const std::string key = AbsolutePath(path);
  for (;;) {
    const auto found = trial.records.find(key);
    if (found != trial.records.end()) return &found->second;
    if (trial.finished) return nullptr;
    if (!ReadRecord(trial)) FinishFileTrial(trial);
  }
}

void FinishFileTrial(FileTrial& trial) {
  while (!trial.finished && trial.readFd >= 0 && ReadRecord(trial)) {
  }
  trial.finished = true;
  if (trial.readFd >= 0) close(trial.readFd);
  trial.readFd = -1;
  if (trial.broker > 0) {
    int status = 0;
    while (waitpid(trial.broker, &status, 0) < 0 && errno == EINTR) {
    }
  }
  trial.broker = -1;
}

void InstallFileTrial(FileTrial* trial) {
  installedTrial = trial;
}

const char* RefusedFile(const std::string& path) {
  if (!installedTrial) return nullptr;
  if (path.size() > kMaxTrialPath) return "its path is too long";
  const TrialRecord* record = AwaitTrialRecord(*installedTrial, path);
  if (!record) return "it was not tried before loading";
  return record->verdict == TrialVerdict::Passed ? nullptr : record->reason.c_str();
}
