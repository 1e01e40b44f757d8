// shader_trial.cpp: the game's side of the shader trial: reading the pairs, starting the
// broker (shader_broker.h) and taking its verdicts.
#include "trial/shader_trial.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "trial/channel.h"
#include "trial/file_trial.h"  // TrialKey (./x and x are one file); DecodeWhere
#include "trial/limits.h"
#include "trial/safe_file.h"
#include "trial/shader_broker.h"

namespace {

// The game waits this much past the broker's own deadline, so the broker's verdicts come first.
constexpr double kDeadlineGrace = 0.5;

ShaderTrial* installedTrial = nullptr;

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
  const char* doing = record.step == ShaderStep::Draw   ? "drawing it"
                      : record.step == ShaderStep::Link ? "linking it"
                                                        : "compiling it";
  char words[160];
  switch (record.verdict) {
    case ShaderVerdict::Forged:
      std::snprintf(words, sizeof words, "its trial run sent a report out of order while %s",
                    doing);
      break;
    case ShaderVerdict::TooLarge:
      std::snprintf(words, sizeof words,
                    "it is over %zu KiB, the most the trial takes when it cannot draw it",
                    kMaxUndrawnShaderBytes >> 10);
      break;
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
                      record.detail == kNoContext        ? "no GL context for a trial run"
                      : record.detail == kNoProcess      ? "no process for a trial run"
                      : record.detail == kNotPlanned     ? "it was not among the files tried"
                      : record.detail == kThreadedWindow ? "its trial run could not be confined"
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
  if (record.verdict == ShaderVerdict::NotTried && record.detail == kThreadedWindow &&
      !trial.saidThreads) {
    trial.saidThreads = true;
    std::fprintf(stderr,
                 "velloran: the shader trial's window context started threads its file-system "
                 "rules cannot bind; every shader is refused\n");
  }
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
  VerdictRecord record;
  if (!ReadAll(trial.readFd, &record, sizeof record, trial.deadline)) {
    RefusePending(trial, MonotonicSeconds() >= trial.deadline ? kOutOfTime : kTrialGone);
    return false;
  }
  Judge(trial, record);
  return true;
}

}  // namespace

bool StartShaderTrial(ShaderTrial& trial, const std::vector<ShaderPairPaths>& pairs,
                      const ShaderTrialDriver& driver, ShaderTrialLimits limits) {
  trial = ShaderTrial{};
  trial.limits = limits;
  for (const ShaderPairPaths& paths : pairs) {
    trial.pairs.push_back(ReadPair(paths.vertex, paths.fragment));
    trial.pairs.back().pass = paths.pass;
  }
  const double started = MonotonicSeconds();
  trial.deadline = started + limits.totalSeconds + kDeadlineGrace;
  const pid_t game = getpid();
  int readFd = -1;
  const pid_t pid = ForkWithPipe(readFd, [&](int writeFd) {
    RunShaderBroker(trial, driver, writeFd, game, started + limits.totalSeconds);
  });
  if (pid < 0) {
    RefusePending(trial, kNoProcess);
    return false;
  }
  trial.broker = pid;
  trial.readFd = readFd;
  return true;
}

const ShaderPairTrial& AwaitShaderPair(ShaderTrial& trial, const std::string& vertexPath,
                                       const std::string& fragmentPath) {
  const std::string vertexKey = TrialKey(vertexPath);
  const std::string fragmentKey = TrialKey(fragmentPath);
  std::size_t index = 0;
  while (index < trial.pairs.size() && (TrialKey(trial.pairs[index].vertexPath) != vertexKey ||
                                        TrialKey(trial.pairs[index].fragmentPath) != fragmentKey)) {
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
  if (installedTrial) return &AwaitShaderPair(*installedTrial, vertexPath, fragmentPath);
  if (CurrentDecodeWhere() == DecodeWhere::InProcess) return nullptr;
  // Nothing may compile untried sources in this process: the pair is read (so its lines are
  // those of any refused pair) and refused. It lives until the next call, which is enough
  // for the shader that asked.
  static ShaderPairTrial refused;
  refused = ReadPair(vertexPath, fragmentPath);
  refused.verdict = ShaderVerdict::NotTried;
  refused.reason = kNoTrialProcess;
  return &refused;
}
