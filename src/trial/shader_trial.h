// shader_trial.h: every shader pair is compiled and linked first in a throw-away process with a
// GL context of its own, so a source that crashes, exhausts or hangs the driver's compiler costs
// that process and not the game.
//
// The GL compiler is the driver's, a large C library that a hostile folder can feed anything; a
// few lines of nested macros are enough to make it take gigabytes and crash. The game's own
// context cannot be shared with another process, but a second context on the same driver runs
// the same compiler. So, before the game has any thread, the shader files are read once (safely,
// see safe_file.h) and a broker process is forked; it forks a worker that opens a hidden
// context and compiles and links the pairs in order, under limits on memory and time. A worker
// that dies costs the pair it was on; a fresh one goes on with the next. The game compiles
// exactly the bytes that were tried, and only those of a pair whose trial came through.
//
// This module makes no GL calls: the caller hands in the functions a worker runs
// (gfx/shader_trial_compile.h has the game's).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The context a worker makes: with no display connection at all where the platform offers
// one, else a hidden window on the display.
enum class TrialContextKind : std::uint8_t { Headless, Window };

// How the game draws a program, so its trial draw asks the driver for the same machine code
// (the software renderer generates it per program and pipeline state).
struct ShaderPassState {
  bool drawn = true;            // false: built but never drawn
  bool colour = true;           // false: the target holds depth only (the shadow map)
  bool alphaOnly = false;       // only alpha is written
  bool blend = true;            // source-alpha blending
  bool depthTest = true;        // depth test on
  bool depthLessEqual = false;  // LEQUAL rather than LESS
};

// What a worker runs, in a process of its own.
struct ShaderTrialDriver {
  TrialContextKind (*pickContext)();  // asked before the worker drops any right
  // Makes a GL context of the game's kind and `kind` current; false if none.
  bool (*openContext)(TrialContextKind kind);
  unsigned (*compileStage)(bool vertex, const std::string& source);  // a compiled shader object
  unsigned (*linkStages)(unsigned vertex, unsigned fragment);        // the linked program
  // Draws `program` once into a small target of its own with `pass`, and waits for the draw.
  void (*drawProgram)(unsigned program, const ShaderPassState& pass);
  bool (*outOfMemory)();  // the driver reported running out of memory since the last call
};

struct ShaderTrialLimits {
  std::size_t memoryBytes = std::size_t{256} << 20;  // beyond what a worker holds with its context
  double pairSeconds = 5.0;                          // wall clock per pair
  double totalSeconds = 20.0;  // the whole trial, from its start: the game never waits longer
};

// The steps of trying a pair, in order (the draw only where the worker has no window).
enum class ShaderStep : std::uint8_t { Vertex, Fragment, Link, Draw };

enum class ShaderVerdict : std::uint8_t {
  Pending,      // not judged yet
  Passed,       // built (successfully or not) and drawn in its trial, and the worker exited
  Crashed,      // the worker died at `step`
  OutOfMemory,  // the worker needed more than its memory limit at `step`
  TimedOut,     // `step` took longer than the per-pair time
  NotTried,     // the trial's time ran out, or it could not run at all, before this pair
  Forged,       // the worker's report broke its sequence at `step`
  TooLarge,     // a window-backed worker cannot draw, and the source at `step` is over the cap
};

// One pair: its files as read once, and what its trial found.
struct ShaderPairTrial {
  std::string vertexPath;    // as the game names it
  std::string fragmentPath;  // as the game names it
  bool read = false;         // both files were read
  std::string vertex;        // the vertex file's bytes (empty when not read)
  std::string fragment;      // the fragment file's bytes (empty when not read)
  ShaderPassState pass;      // how the game draws it
  ShaderVerdict verdict = ShaderVerdict::Pending;
  ShaderStep step = ShaderStep::Vertex;  // a refused pair: the step that failed
  std::string reason;                    // a refused pair: why, in words for the player
};

struct ShaderTrial {
  pid_t broker = -1;
  int readFd = -1;        // the broker's verdicts
  double deadline = 0.0;  // monotonic seconds past which the game stops waiting
  ShaderTrialLimits limits;
  std::vector<ShaderPairTrial> pairs;  // in build order
  bool saidThreads = false;            // the note on threads in the worker has been printed
};

// A vertex and a fragment file, by the paths the game will build them from, and how it draws
// the program.
struct ShaderPairPaths {
  const char* vertex;
  const char* fragment;
  ShaderPassState pass{};
};

// Reads every file of `pairs` and forks the broker that tries them in order. Call it while the
// process has a single thread. False when no process could be made: every pair is then refused.
bool StartShaderTrial(ShaderTrial& trial, const std::vector<ShaderPairPaths>& pairs,
                      const ShaderTrialDriver& driver, ShaderTrialLimits limits = {});
// The pair of these two paths with its verdict, waiting for it until the trial's deadline at
// most. A pair that was not in the plan is read now and refused.
const ShaderPairTrial& AwaitShaderPair(ShaderTrial& trial, const std::string& vertexPath,
                                       const std::string& fragmentPath);
// Stops waiting for verdicts and reaps the broker (ending it if it outstayed the deadline).
void FinishShaderTrial(ShaderTrial& trial);

// The shader builder's gate. Shaders read and compile their own files only when no trial is
// installed and the caller chose DecodeWhere::InProcess (file_trial.h): tests and tools.
void InstallShaderTrial(ShaderTrial* trial);
// The tried pair of these paths: the installed trial's, else (not in process) the pair read and
// refused as not tried for want of a process. Null only when the shader is to compile itself.
const ShaderPairTrial* TriedShaderPair(const char* vertexPath, const char* fragmentPath);
