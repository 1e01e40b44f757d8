// confinement.h: what a trial worker may spend and what it may do.
//
// Limits bound what a hostile file can make a decoder spend (memory, CPU, time). Confinement
// bounds what a decoder taken over by its file can do: after it the process can write its
// report, manage its own memory and end, and nothing else. It cannot open, connect, execute,
// fork, signal or trace anything, write for another file or outlive the game. The model is
// what well-known sandboxed decoders do: read the bytes first, then drop every right that
// decoding from memory does not need.
#pragma once

#include <seccomp.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "trial/limits.h"

// AddressSanitizer reserves terabytes of address space up front, so sanitizer builds cannot
// bound a worker by its address space; they watch its resident memory only.
#if defined(__SANITIZE_ADDRESS__)
#define VELLORAN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLORAN_ASAN 1
#endif
#endif

constexpr int kOutOfMemoryExit = 99;  // a worker's allocation failed under its limit
constexpr int kUnconfinedExit = 98;   // the worker could not confine itself and decoded nothing

// Ends a worker at once with `code`. A plain _exit would let a sanitizer build run its leak
// scan first, which starts a thread, which the filter forbids.
[[noreturn]] void EndWorker(int code);
std::size_t AddressSpaceBytes(pid_t pid);  // a process's address space, from /proc
std::size_t ResidentBytes(pid_t pid);      // a process's resident memory, from /proc
// Ends this process with its parent, so no trial outlives the game (or the broker).
void DieWithParent(pid_t parent);
// Memory, CPU and core-file limits; a failed allocation ends the process with
// kOutOfMemoryExit. `addressSpaceAtFork` is the process's size when it was forked.
void LimitWorker(const TrialLimits& limits, std::size_t addressSpaceAtFork);
// Drops every right but writing to `reportFd`: leaves the terminal's session, closes every
// other descriptor, forbids new files, processes and privileges, then installs the system-call
// filter. False when any step failed (the caller must not decode then).
bool ConfineWorker(int reportFd);

// One entry of a system-call filter: a call, what happens to it, and at most one argument
// condition.
struct FilterRule {
  int call;
  std::uint32_t action;
  int conditions;  // 0 or 1
  scmp_arg_cmp condition;
};
// Installs a filter of `rules` with `defaultAction` for everything else; `allThreads` applies it
// to every thread of the process at once. False when any rule or the load failed.
bool LoadFilter(const FilterRule* rules, std::size_t count, std::uint32_t defaultAction,
                bool allThreads);
