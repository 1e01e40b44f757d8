// file_trial.cpp: the game's side of the trial: starting the broker, taking its records and
// the loaders' gate.
//
// The game trusts only what it asked for: a record for a path it did not plan (or a texture
// a passed model did not name) is dropped, a second record for a path is dropped, records
// past the byte budget are refused, and nothing waits past the trial's deadline.
#include "trial/file_trial.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "trial/broker.h"
#include "trial/channel.h"
#include "trial/decoders.h"

namespace {

// The game stops waiting this long after the broker's own deadline: the broker reports late
// files itself, so this only matters when the broker is stuck or gone.
constexpr double kDeadlineGrace = 2.0;

FileTrial* installedTrial = nullptr;
DecodeWhere decodeWhere = DecodeWhere::InTrialOnly;

// Reads and forgets `size` bytes of a record the game does not take.
bool SkipBytes(int fd, std::uint64_t size, double deadline) {
  char scratch[65536];
  while (size > 0) {
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof scratch));
    if (!ReadAll(fd, scratch, chunk, deadline)) return false;
    size -= chunk;
  }
  return true;
}

// One record from the broker; false at the end of the trial, when the broker is gone or
// broken, or past the deadline.
bool ReadRecord(FileTrial& trial) {
  std::string path;
  TrialRecord record;
  std::uint64_t payloadSize = 0;
  if (!ReadRecordHead(trial.readFd, trial.deadline, path, record, payloadSize)) return false;
  const bool wanted = trial.expected.count(path) && !trial.records.count(path);
  const bool withinBudget = payloadSize <= trial.limits.memoryBytes &&
                            payloadSize <= trial.limits.totalBytes - trial.acceptedBytes;
  if (!wanted || !withinBudget) {
    if (!SkipBytes(trial.readFd, payloadSize, trial.deadline)) return false;
    if (!wanted) return true;
    record = TrialRecord{};
    record.verdict = TrialVerdict::OutOfMemory;
    record.reason = "what it decoded to is more than the game takes";
  } else {
    record.payload.resize(payloadSize);
    if (!ReadAll(trial.readFd, record.payload.data(), payloadSize, trial.deadline)) return false;
    trial.acceptedBytes += payloadSize;
  }
  if (record.verdict != TrialVerdict::Passed && record.reason.empty()) {
    record.reason = "its trial run failed";
  }
  // A passed model's textures are the only further files the game will ask for.
  if (record.verdict == TrialVerdict::Passed && record.kind == FileKind::Model) {
    std::vector<TrialFile> textures;
    ModelTextures(path, record.payload, textures);
    for (const TrialFile& texture : textures) trial.expected.insert(TrialKey(texture.path));
  }
  trial.records[path] = std::move(record);
  return true;
}

}  // namespace

std::string TrialKey(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

bool ModelTextures(const std::string& modelPath, const std::string& payload,
                   std::vector<TrialFile>& textures) {
  DecodedModel model;
  if (!ParseModel(payload, model)) return false;
  const std::string folder = modelPath.substr(0, modelPath.find_last_of('/'));
  for (const DecodedMesh& mesh : model.meshes) {
    for (const auto& texture : mesh.textures) {
      const std::string path = ModelTexturePath(modelPath, texture.second);
      if (path.size() > kMaxTrialPath || textures.size() == kMaxModelTextures) continue;
      const bool known = std::any_of(textures.begin(), textures.end(),
                                     [&](const TrialFile& file) { return file.path == path; });
      if (!known) textures.push_back({path, FileKind::Image, folder, texture.second});
    }
  }
  return true;
}

bool StartFileTrial(FileTrial& trial, const std::vector<TrialFile>& plan, TrialLimits limits) {
  const pid_t game = getpid();
  int readFd = -1;
  const pid_t pid =
      ForkWithPipe(readFd, [&](int writeFd) { RunBroker(plan, limits, writeFd, game); });
  if (pid < 0) return false;
  trial.broker = pid;
  trial.readFd = readFd;
  trial.finished = false;
  trial.overTime = false;
  trial.deadline = MonotonicSeconds() + limits.totalSeconds + kDeadlineGrace;
  trial.acceptedBytes = 0;
  trial.limits = limits;
  trial.expected.clear();
  for (const TrialFile& file : plan) trial.expected.insert(TrialKey(file.path));
  trial.records.clear();
  return true;
}

const TrialRecord* AwaitTrialRecord(FileTrial& trial, const std::string& path) {
  const std::string key = TrialKey(path);
  for (;;) {
    const auto found = trial.records.find(key);
    if (found != trial.records.end()) return &found->second;
    if (trial.finished || !trial.expected.count(key)) return nullptr;
    if (!ReadRecord(trial)) {
      trial.overTime = MonotonicSeconds() >= trial.deadline;
      FinishFileTrial(trial);
    }
  }
}

void FinishFileTrial(FileTrial& trial) {
  trial.finished = true;
  if (trial.readFd >= 0) close(trial.readFd);
  trial.readFd = -1;
  // Everything the game needs has been asked for by now; what the broker still does is of
  // no use, and a broker that is stuck must not hold the game.
  if (trial.broker > 0) {
    kill(trial.broker, SIGKILL);
    int status = 0;
    while (waitpid(trial.broker, &status, 0) < 0 && errno == EINTR) {
    }
  }
  trial.broker = -1;
}

void SetDecodeWhere(DecodeWhere where) {
  decodeWhere = where;
}

DecodeWhere CurrentDecodeWhere() {
  return decodeWhere;
}

void InstallFileTrial(FileTrial* trial) {
  installedTrial = trial;
}

const TrialRecord* PassedTrial(const std::string& path, const char*& refusal) {
  refusal = nullptr;
  if (!installedTrial) {
    if (decodeWhere != DecodeWhere::InProcess) refusal = kNoTrialProcess;
    return nullptr;
  }
  if (path.size() > kMaxTrialPath) {
    refusal = "its path is too long";
    return nullptr;
  }
  const TrialRecord* record = AwaitTrialRecord(*installedTrial, path);
  if (!record) {
    refusal = installedTrial->overTime ? "reading the game's files took too long"
                                       : "it was not tried before loading";
  } else if (record->verdict != TrialVerdict::Passed) {
    refusal = record->reason.c_str();
  }
  return refusal ? nullptr : record;
}
