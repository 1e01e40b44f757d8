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

#include "gfx/decoders.h"

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
// The broker holds at most this much output the game has not read yet before it waits
// with further trials.
constexpr std::size_t kMaxPendingOutput = std::size_t{256} << 20;

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

// The report a worker leaves in its pipe: 'D' or 'F' (decoded or not), the decoded file's
// bytes (length-prefixed), then 'E'. A worker that dies before the 'E' has crashed.
[[noreturn]] void RunWorker(const TrialFile& file, const TrialLimits& limits,
                            std::size_t addressSpace, int reportFd, pid_t broker) {
  DieWithParent(broker);
  LimitWorker(limits, addressSpace);
  bool decoded = false;
  std::string payload;
  if (file.kind == FileKind::Model) {
    const DecodedModel model = DecodeModel(file.path);
    decoded = model.loaded;
    payload = SerializeModel(model);
  } else if (file.kind == FileKind::Image) {
    const DecodedPixels pixels = DecodeImage(file.path);
    decoded = !pixels.rgb.empty();
    payload = SerializePixels(pixels);
  } else {
    const DecodedFont font = DecodeFont(file.path);
    decoded = font.faceReady;
    payload = SerializeFont(font);
  }
  std::string head(1, decoded ? 'D' : 'F');
  const std::uint64_t payloadSize = payload.size();
  head.append(reinterpret_cast<const char*>(&payloadSize), sizeof payloadSize);
  const bool sent = WriteAll(reportFd, head.data(), head.size()) &&
                    WriteAll(reportFd, payload.data(), payload.size()) &&
                    WriteAll(reportFd, "E", 1);
  _exit(sent ? 0 : 1);
}

// The texture files a decoded model names, as its loader will open them: distinct, at most
// kMaxTrialTexturesPerModel, none with an overlong path. False when the bytes are no model.
bool ModelTextures(const TrialFile& file, const std::string& payload,
                   std::vector<std::string>& textures) {
  DecodedModel model;
  if (!ParseModel(payload, model)) return false;
  for (const DecodedMesh& mesh : model.meshes) {
    for (const auto& texture : mesh.textures) {
      const std::string path = ModelTexturePath(file.path, texture.second);
      if (path.size() > kMaxTrialPath || textures.size() == kMaxTrialTexturesPerModel) continue;
      if (std::find(textures.begin(), textures.end(), path) == textures.end()) {
        textures.push_back(path);
      }
    }
  }
  return true;
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

// Appends a record to the broker's output: verdict, kind, decoded, signal, peak, path, bytes.
void QueueRecord(std::string& output, const std::string& path, const TrialRecord& record) {
  output += static_cast<char>(record.verdict);
  output += static_cast<char>(record.kind);
  output += static_cast<char>(record.decoded ? 1 : 0);
  std::int32_t signal = record.signal;
  output.append(reinterpret_cast<const char*>(&signal), sizeof signal);
  std::int64_t peak = record.peakKiB;
  output.append(reinterpret_cast<const char*>(&peak), sizeof peak);
  AppendU32(output, static_cast<std::uint32_t>(path.size()));
  output += path;
  const std::uint64_t payloadSize = record.payload.size();
  output.append(reinterpret_cast<const char*>(&payloadSize), sizeof payloadSize);
  output += record.payload;
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
    // The report's own length is checked: a worker is a copy of the game, but the decoder it
    // ran may have scribbled on its memory before the report was written.
    std::uint64_t payloadSize = 0;
    bool whole = report.size() >= 1 + sizeof payloadSize + 1;
    if (whole) std::memcpy(&payloadSize, report.data() + 1, sizeof payloadSize);
    whole = whole && payloadSize == report.size() - 1 - sizeof payloadSize - 1;
    if (whole) {
      record.decoded = report[0] == 'D';
      record.payload = report.substr(1 + sizeof payloadSize, payloadSize);
      if (worker.file.kind == FileKind::Model) {
        whole = ModelTextures(worker.file, record.payload, textures);
      }
    }
    if (!whole) {
      record.verdict = TrialVerdict::Crashed;
      record.payload.clear();
      textures.clear();
    }
  }
  return record;
}

// Forks a child that runs `child(writeFd)`, which never returns, and gives the parent the
// pipe's read end (1 MiB of buffer: decoded images pass through). -1 when no child was made.
template <typename Child>
pid_t ForkWithPipe(int& readFd, Child child) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return -1;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    child(pipeFds[1]);
    _exit(1);
  }
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETPIPE_SZ, 1 << 20);
  readFd = pipeFds[0];
  return pid;
}

bool StartWorker(const TrialFile& file, const TrialLimits& limits, std::size_t addressSpace,
                 RunningWorker& worker) {
  const pid_t broker = getpid();
  int readFd = -1;
  const pid_t pid = ForkWithPipe(
      readFd, [&](int writeFd) { RunWorker(file, limits, addressSpace, writeFd, broker); });
  if (pid < 0) return false;
  fcntl(readFd, F_SETFL, O_NONBLOCK);
  worker = RunningWorker{};
  worker.pid = pid;
  worker.reportFd = readFd;
  worker.file = file;
  worker.key = AbsolutePath(file.path);
  worker.started = Now();
  return true;
}

// Reads what a worker has written so far; false once its report outgrows the memory limit.
bool DrainReport(RunningWorker& worker, std::size_t limit) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(worker.reportFd, buffer, sizeof buffer);
    if (got <= 0) return true;
    if (worker.report.size() + static_cast<std::size_t>(got) > limit) return false;
    worker.report.append(buffer, static_cast<std::size_t>(got));
  }
}

// Writes as much pending output as the game's pipe takes now (or all of it, if `wait`).
void FlushOutput(int fd, std::string& output, std::size_t& sent, bool wait) {
  while (sent < output.size()) {
    const ssize_t written = write(fd, output.data() + sent, output.size() - sent);
    if (written > 0) {
      sent += static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && errno == EAGAIN && wait) {
      pollfd out{fd, POLLOUT, 0};
      poll(&out, 1, 100);
    } else {
      break;
    }
  }
  // Sent bytes are dropped from the front now and then, not on every partial write.
  if (sent == output.size() || sent > (std::size_t{16} << 20)) {
    output.erase(0, sent);
    sent = 0;
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
  std::string output;  // records the game has not read yet
  std::size_t sent = 0;
  fcntl(outFd, F_SETFL, O_NONBLOCK);
  while (!queue.empty() || !running.empty()) {
    while (!queue.empty() && static_cast<int>(running.size()) < std::max(1, limits.parallel) &&
           output.size() - sent < kMaxPendingOutput) {
      RunningWorker worker;
      if (!StartWorker(queue.front(), limits, addressSpace, worker)) {
        // No process for this file: it is refused like one that crashed.
        TrialRecord record;
        record.kind = queue.front().kind;
        record.verdict = TrialVerdict::Crashed;
        QueueRecord(output, AbsolutePath(queue.front().path), record);
      } else {
        running.push_back(std::move(worker));
      }
      queue.pop_front();
    }
    std::vector<pollfd> fds;
    for (const RunningWorker& worker : running) fds.push_back({worker.reportFd, POLLIN, 0});
    if (sent < output.size()) fds.push_back({outFd, POLLOUT, 0});
    poll(fds.data(), fds.size(), 2);
    FlushOutput(outFd, output, sent, false);

    for (std::size_t i = 0; i < running.size();) {
      RunningWorker& worker = running[i];
      if (!DrainReport(worker, limits.memoryBytes)) worker.overMemory = true;
      int status = 0;
      rusage usage{};
      pid_t done = worker.overMemory ? 0 : wait4(worker.pid, &status, WNOHANG, &usage);
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
      if (!worker.overMemory && !DrainReport(worker, limits.memoryBytes)) worker.overMemory = true;
      close(worker.reportFd);
      std::vector<std::string> textures;
      const TrialRecord record = JudgeWorker(worker, status, usage, textures);
      QueueRecord(output, worker.key, record);
      // A model's textures are tried next: its loader asks for them right after the model.
      for (auto it = textures.rbegin(); it != textures.rend(); ++it) {
        if (queued.insert(AbsolutePath(*it)).second) queue.push_front({*it, FileKind::Image});
      }
      running.erase(running.begin() + static_cast<long>(i));
    }
  }
  output += static_cast<char>(kEndOfTrial);
  FlushOutput(outFd, output, sent, true);
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
  std::uint64_t payloadSize = 0;
  if (!ReadAll(trial.readFd, path.data(), length) ||
      !ReadAll(trial.readFd, &payloadSize, sizeof payloadSize) ||
      payloadSize > trial.limits.memoryBytes) {
    return false;
  }
  TrialRecord record;
  record.payload.resize(payloadSize);
  if (!ReadAll(trial.readFd, record.payload.data(), payloadSize)) return false;
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
  int readFd = -1;
  const pid_t pid =
      ForkWithPipe(readFd, [&](int writeFd) { RunBroker(plan, limits, writeFd, game); });
  if (pid < 0) return false;
  trial.broker = pid;
  trial.readFd = readFd;
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

const TrialRecord* PassedTrial(const std::string& path, const char*& refusal) {
  refusal = nullptr;
  if (!installedTrial) return nullptr;
  if (path.size() > kMaxTrialPath) {
    refusal = "its path is too long";
    return nullptr;
  }
  const TrialRecord* record = AwaitTrialRecord(*installedTrial, path);
  if (!record) {
    refusal = "it was not tried before loading";
  } else if (record->verdict != TrialVerdict::Passed) {
    refusal = record->reason.c_str();
  }
  return refusal ? nullptr : record;
}
