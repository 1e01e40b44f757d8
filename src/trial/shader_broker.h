// shader_broker.h: the shader trial's broker and worker (see shader_trial.h), and what they
// say to each other and to the game.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "trial/shader_trial.h"

constexpr int kNoContextExit = 97;  // the worker could not make a GL context
constexpr int kThreadedExit = 96;   // its window context started threads Landlock cannot bind
constexpr int kTooLargeExit = 95;   // it cannot draw, and the source of its step is over the cap

// Why a pair was not tried at all (the detail of a NotTried verdict).
enum NotTriedCause : std::int32_t {
  kOutOfTime,
  kNoContext,
  kNoProcess,
  kTrialGone,
  kNotPlanned,
  kThreadedWindow,
};

// One verdict, from the broker to the game.
struct VerdictRecord {
  std::uint32_t pair = 0;
  ShaderVerdict verdict = ShaderVerdict::Passed;
  ShaderStep step = ShaderStep::Vertex;
  std::int32_t detail = 0;  // a signal (> 0) or minus an exit status; a NotTriedCause
};

// Runs in the forked child and never returns: tries every pair of `trial` in order, one worker
// a pair, and writes one VerdictRecord a pair to `outFd`, stopping at `deadline`.
[[noreturn]] void RunShaderBroker(const ShaderTrial& trial, const ShaderTrialDriver& driver,
                                  int outFd, pid_t game, double deadline);
