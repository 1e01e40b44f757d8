// file_trial.h: every model, image, font and sound the game will read is first decoded in a
// throw-away, confined process, so a file that crashes, exhausts, hangs or takes over its
// decoder costs that process and not the game.
//
// The decoders are system C libraries that were never hardened against hostile files, and the
// faults are inside them, so no check in front of them can cover every case. Instead a broker
// process (broker.h), forked before the game has any thread, reads each file safely and forks
// one worker per file (worker.h) that drops every right decoding from memory does not need
// (confinement.h) before the decoder sees a byte. The game starts its window and shaders
// meanwhile; each loader waits only for its own file's record, and takes from the trial only
// records it asked for, once each, within a byte budget and a deadline (limits.h).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "trial/limits.h"

enum class FileKind : std::uint8_t { Model, Image, Font, Sound };

// One file to try, by the path its loader will open. A texture a model names also carries
// the model's folder and the name, and is read only inside that folder.
struct TrialFile {
  std::string path;
  FileKind kind = FileKind::Model;
  std::string folder{};  // set for a model's texture
  std::string name{};    // the texture's name as the model gives it
};

enum class TrialVerdict : std::uint8_t { Passed, Crashed, OutOfMemory, TimedOut, Refused };

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
  int readFd = -1;                // the broker's records
  bool finished = false;          // no further record will come
  bool overTime = false;          // the trial as a whole ran past its deadline
  double deadline = 0.0;          // monotonic seconds after which the game stops waiting
  std::size_t acceptedBytes = 0;  // payload bytes taken so far
  TrialLimits limits;
  std::unordered_set<std::string> expected;  // absolute paths the game may get a record for
  std::unordered_map<std::string, TrialRecord> records;  // by absolute path
};

// Forks the broker, which tries `plan` in order and the textures each model names right after
// it. Call it while the process has a single thread. False when no process could be made.
bool StartFileTrial(FileTrial& trial, const std::vector<TrialFile>& plan, TrialLimits limits = {});
// The record of `path`, waiting for it until the trial's deadline; null if none came.
const TrialRecord* AwaitTrialRecord(FileTrial& trial, const std::string& path);
// Ends the trial: the broker and any worker are stopped and reaped. Never waits long.
void FinishFileTrial(FileTrial& trial);

// The loaders' gate. With no trial installed (tests, tools) loaders decode files themselves.
void InstallFileTrial(FileTrial* trial);
// With a trial installed: the passed record of `path`, whose payload the loader builds from,
// or null with `refusal` saying why the file must not be used. Without one: null, no refusal.
const TrialRecord* PassedTrial(const std::string& path, const char*& refusal);

// The absolute, lexically normal form of `path`: the key of its record.
std::string TrialKey(const std::string& path);
// The texture files a decoded model names, as its loader will open them: distinct, at most
// kMaxModelTextures, none with an overlong path. False when the bytes are no model.
bool ModelTextures(const std::string& modelPath, const std::string& payload,
                   std::vector<TrialFile>& textures);
