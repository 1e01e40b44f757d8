// broker.cpp: reads, forks, watches and judges; one record per file to the game.
//
// The broker leaves with _exit: it is a fork of the game, and running the game's exit
// handlers or flushing its copied output buffers would repeat the game's own output.
#include "trial/broker.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <unordered_set>

#include "trial/channel.h"
#include "trial/confinement.h"
#include "trial/safe_file.h"
#include "trial/worker.h"

namespace {

// The broker holds at most this much output the game has not read yet before it waits
// with further trials.
constexpr std::size_t kMaxPendingOutput = std::size_t{256} << 20;

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

std::size_t FileCap(FileKind kind) {
  switch (kind) {
    case FileKind::Model:
      return kMaxModelFileBytes;
    case FileKind::Image:
      return kMaxImageFileBytes;
    case FileKind::Font:
      return kMaxFontFileBytes;
    case FileKind::Sound:
      return kMaxSoundFileBytes;
  }
  return 0;
}

// Reads the file a worker will decode; a texture only inside its model's folder.
RunFileStatus ReadTrialFile(const TrialFile& file, std::string& bytes) {
  if (!file.folder.empty()) {
    return ReadRunFileInside(file.folder, file.name, FileCap(file.kind), bytes);
  }
  return ReadRunFile(file.path, FileCap(file.kind), bytes);
}

// A record for a file no worker decoded, with the player's words for why.
TrialRecord Refusal(FileKind kind, TrialVerdict verdict, const std::string& reason) {
  TrialRecord record;
  record.kind = kind;
  record.verdict = verdict;
  record.reason = reason;
  return record;
}

std::string Words(const char* format, double value) {
  char words[160];
  std::snprintf(words, sizeof words, format, value);
  return words;
}

// Turns a finished worker into its record, and a passed model's report into its textures.
TrialRecord JudgeWorker(const RunningWorker& worker, int status, const rusage& usage,
                        const TrialLimits& limits, std::vector<TrialFile>& textures) {
  TrialRecord record;
  record.kind = worker.file.kind;
  record.peakKiB = usage.ru_maxrss;
  const bool exited = WIFEXITED(status);
  const int code = exited ? WEXITSTATUS(status) : 0;
  if (worker.overTime || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
    record.verdict = TrialVerdict::TimedOut;
    record.reason = Words("reading it took too long (over %g s)", limits.seconds);
  } else if (worker.overMemory || (exited && code == kOutOfMemoryExit)) {
    record.verdict = TrialVerdict::OutOfMemory;
    record.reason = Words("reading it needed more memory than allowed (%g MiB)",
                          static_cast<double>(limits.memoryBytes >> 20));
  } else if (WIFSIGNALED(status)) {
    record.verdict = TrialVerdict::Crashed;
    record.signal = WTERMSIG(status);
    record.reason = Words("reading it crashed the decoder in a trial run (signal %g)",
                          static_cast<double>(record.signal));
  } else if (!exited || code != 0 ||
             !ParseWorkerReport(worker.report, record.decoded, record.payload) ||
             (worker.file.kind == FileKind::Model &&
              !ModelTextures(worker.file.path, record.payload, textures))) {
    // The report's own framing is checked: the decoder it ran may have scribbled on the
    // worker's memory before the report was written.
    std::string words = "reading it crashed the decoder in a trial run";
    if (code == kUnconfinedExit) {
      words = "its trial run could not be confined";
    } else if (code != 0) {
      words = Words("reading it crashed the decoder in a trial run (exit status %g)", code);
    }
    record = Refusal(worker.file.kind, TrialVerdict::Crashed, words);
    record.signal = code;
    textures.clear();
  }
  return record;
}

bool StartWorker(const TrialFile& file, const std::string& bytes, bool readable,
                 const TrialLimits& limits, std::size_t addressSpace, RunningWorker& worker) {
  const pid_t broker = getpid();
  int readFd = -1;
  const pid_t pid = ForkWithPipe(readFd, [&](int writeFd) {
    RunWorker(file, bytes, readable, limits, addressSpace, writeFd, broker);
  });
  if (pid < 0) return false;
  fcntl(readFd, F_SETFL, O_NONBLOCK);
  worker = RunningWorker{};
  worker.pid = pid;
  worker.reportFd = readFd;
  worker.file = file;
  worker.key = TrialKey(file.path);
  worker.started = MonotonicSeconds();
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

// Ends a worker and anything in its process group, and collects its status.
pid_t StopWorker(const RunningWorker& worker, int& status, rusage& usage) {
  kill(-worker.pid, SIGKILL);
  kill(worker.pid, SIGKILL);
  return wait4(worker.pid, &status, 0, &usage);
}

// A worker cannot start a process (its filter kills it first), but should one ever, it comes
// back to the broker as an orphan and ends here with the rest.
void EndStrays() {
  for (int round = 0; round < 100; ++round) {
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/task/%d/children", static_cast<int>(getpid()));
    std::vector<pid_t> children;
    if (FILE* file = std::fopen(name, "r")) {
      int pid = 0;
      while (std::fscanf(file, "%d", &pid) == 1) children.push_back(pid);
      std::fclose(file);
    }
    if (children.empty()) return;
    for (pid_t child : children) kill(child, SIGKILL);
    for (pid_t child : children) waitpid(child, nullptr, 0);
  }
}

}  // namespace

void RunBroker(std::vector<TrialFile> plan, const TrialLimits& limits, int outFd, pid_t game) {
  DieWithParent(game);
  // Orphans of a worker would come back to the broker, which ends them with itself.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  signal(SIGPIPE, SIG_DFL);
  const std::size_t addressSpace = AddressSpaceBytes(getpid());
  const std::size_t residentLimit = ResidentBytes(getpid()) + limits.memoryBytes;
  const double deadline = MonotonicSeconds() + limits.totalSeconds;

  std::deque<TrialFile> queue;
  std::unordered_set<std::string> queued;  // absolute paths: each file is tried once
  for (TrialFile& file : plan) {
    if (file.path.size() <= kMaxTrialPath && queued.insert(TrialKey(file.path)).second) {
      queue.push_back(std::move(file));
    }
  }
  std::vector<RunningWorker> running;
  std::string output;  // records the game has not read yet
  std::size_t sent = 0;
  fcntl(outFd, F_SETFL, O_NONBLOCK);
  while (!queue.empty() || !running.empty()) {
    const bool late = MonotonicSeconds() > deadline;
    while (!queue.empty() && static_cast<int>(running.size()) < std::max(1, limits.parallel) &&
           output.size() - sent < kMaxPendingOutput) {
      const TrialFile file = std::move(queue.front());
      queue.pop_front();
      const std::string key = TrialKey(file.path);
      if (late) {
        AppendRecord(output, key,
                     Refusal(file.kind, TrialVerdict::TimedOut,
                             Words("reading the game's files took too long (over %g s)",
                                   limits.totalSeconds)));
        continue;
      }
      std::string bytes;
      const RunFileStatus read = ReadTrialFile(file, bytes);
      // A missing file still goes to its decoder, which says so in its own words.
      if (read != RunFileStatus::Read && read != RunFileStatus::Missing) {
        AppendRecord(output, key, Refusal(file.kind, TrialVerdict::Refused, RunFileWords(read)));
        continue;
      }
      RunningWorker worker;
      if (StartWorker(file, bytes, read == RunFileStatus::Read, limits, addressSpace, worker)) {
        running.push_back(std::move(worker));
      } else {
        AppendRecord(output, key,
                     Refusal(file.kind, TrialVerdict::Crashed, "no process could try it"));
      }
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
        const double now = MonotonicSeconds();
        if (now - worker.started > limits.seconds || now > deadline) worker.overTime = true;
        if (ResidentBytes(worker.pid) > residentLimit) worker.overMemory = true;
        if (!worker.overTime && !worker.overMemory) {
          ++i;
          continue;
        }
        done = StopWorker(worker, status, usage);
      } else {
        kill(-worker.pid, SIGKILL);  // nothing of the worker stays behind
      }
      if (!worker.overMemory && !DrainReport(worker, limits.memoryBytes)) worker.overMemory = true;
      close(worker.reportFd);
      std::vector<TrialFile> textures;
      const TrialRecord record = JudgeWorker(worker, status, usage, limits, textures);
      AppendRecord(output, worker.key, record);
      // A model's textures are tried next: its loader asks for them right after the model.
      for (auto it = textures.rbegin(); it != textures.rend(); ++it) {
        if (queued.insert(TrialKey(it->path)).second) queue.push_front(*it);
      }
      running.erase(running.begin() + static_cast<long>(i));
    }
  }
  output += static_cast<char>(kEndOfTrial);
  FlushOutput(outFd, output, sent, true);
  EndStrays();
  _exit(0);
}
