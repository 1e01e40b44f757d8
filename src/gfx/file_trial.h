// file_trial.h: every model, image and font the game will read is first read in a throw-away
// process, so a file that crashes, exhausts memory or hangs its decoder costs that process and
// not the game.
//
// The decoders are system C libraries that were never hardened against hostile files, and the
// faults are inside them, so no check in front of them can cover every case. Instead a broker
// process, forked before the game has any thread, forks one worker per file with limits on
// memory and time; each worker makes exactly the decoder calls the loader will make. The game
// starts its window and shaders meanwhile, and each loader waits only for its own file's
// verdict. A file whose trial died takes that loader's failure path without being opened.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

enum class FileKind : std::uint8_t { Model, Image, Font };

// One file to try, by the path its loader will open.
struct TrialFile {
  std::string path;
  FileKind kind = FileKind::Model;
};

struct TrialLimits {
  std::size_t memoryBytes = std::size_t{256} << 20;  // beyond what the process had at the fork
  double seconds = 5.0;                              // wall clock per file
  int parallel = 2;                                  // workers at once
};

enum class TrialVerdict : std::uint8_t { Passed, Crashed, OutOfMemory, TimedOut };

// What the trial of one file found.
struct TrialRecord {
  TrialVerdict verdict = TrialVerdict::Passed;
  FileKind kind = FileKind::Model;
  int signal = 0;            // the signal or exit status that ended a crashed worker
  std::int64_t peakKiB = 0;  // the worker's peak resident memory
  bool decoded = false;      // a passed file: the decoder accepted it
  std::string reason;        // a refused file: why, in words for the player
  std::string payload;       // a passed file: what it decoded to (see decoders.h)
};

struct FileTrial {
  pid_t broker = -1;
  int readFd = -1;        // the broker's records
  bool finished = false;  // every record has been read
  TrialLimits limits;
  std::unordered_map<std::string, TrialRecord> records;  // by absolute path
};

// Longest path a trial takes; a longer one cannot be opened on Linux anyway.
constexpr std::size_t kMaxTrialPath = 4096;
// Most textures of one model that are tried; the loader refuses the rest.
constexpr std::size_t kMaxTrialTexturesPerModel = 64;

// Forks the broker, which tries `plan` in order and the textures each model names right after
// it. Call it while the process has a single thread. False when no process could be made.
bool StartFileTrial(FileTrial& trial, const std::vector<TrialFile>& plan, TrialLimits limits = {});
// The record of `path`, waiting for it if need be; null if the trial never got to it.
const TrialRecord* AwaitTrialRecord(FileTrial& trial, const std::string& path);
// Reads the remaining records and reaps the broker.
void FinishFileTrial(FileTrial& trial);

// The loaders' gate. With no trial installed (tests, tools) loaders decode files themselves.
void InstallFileTrial(FileTrial* trial);
// With a trial installed: the passed record of `path`, whose payload the loader builds from,
// or null with `refusal` saying why the file must not be used. Without one: null, no refusal.
const TrialRecord* PassedTrial(const std::string& path, const char*& refusal);
