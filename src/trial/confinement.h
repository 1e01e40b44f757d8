// confinement.h: what a trial worker may spend and what it may do.
//
// Limits bound what a hostile file can make a decoder spend (memory, CPU, time). Confinement
// bounds what a decoder taken over by its file can do: after it the process can write its
// report, manage its own memory and end, and nothing else. It cannot open, connect, execute,
// fork, signal or trace anything, write for another file or outlive the game. The model is
// what well-known sandboxed decoders do: read the bytes first, then drop every right that
// decoding from memory does not need.
#pragma once

#include <sys/types.h>

#include <cstddef>

#include "trial/limits.h"

constexpr int kOutOfMemoryExit = 99;  // a worker's allocation failed under its limit
constexpr int kUnconfinedExit = 98;   // the worker could not confine itself and decoded nothing

// Ends this process with its parent, so no trial outlives the game (or the broker).
void DieWithParent(pid_t parent);
// Memory, CPU and core-file limits; a failed allocation ends the process with
// kOutOfMemoryExit. `addressSpaceAtFork` is the process's size when it was forked.
void LimitWorker(const TrialLimits& limits, std::size_t addressSpaceAtFork);
// Drops every right but writing to `reportFd`: leaves the terminal's session, closes every
// other descriptor, forbids new files, processes and privileges, then installs the system-call
// filter. False when any step failed (the caller must not decode then).
bool ConfineWorker(int reportFd);
