// shader_confinement.h: what the shader trial's worker may do once its GL context exists.
//
// The worker feeds shader files to the driver's compiler, a large program whose bugs a file can
// take over. So it drops every right compiling does not need, in three layers: before the driver
// loads, no X connection, one thread and a file system it can only read beneath /usr (Landlock,
// where the kernel has it); once the context exists, no descriptor but its report and its own
// memory figures, no new files or processes, and a system-call filter under which compiling,
// linking and drawing can allocate memory and report, and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

// The descriptors a shader worker keeps.
struct ShaderWorkerFds {
  int report = -1;  // to the broker
  int status = -1;  // this process's /proc status, opened before the file system was closed
  int debug = -1;   // the game's standard error, only with VELLORAN_TRIAL_DEBUG set
};

// Leaves the terminal's session, can gain no privileges, keeps only `reportFd` (as 3), opens its
// own status (4) and, in a debug run, keeps standard error (5); standard streams go to
// /dev/null. Turns off what would start threads in the driver (its shader cache, llvmpipe's
// workers). Exits the process when it cannot.
ShaderWorkerFds PrepareShaderWorker(int reportFd);
// Restricts this thread's file system to reading beneath /usr (and the driver's configuration
// file), refuses TCP binds and connects and, where the kernel can, abstract unix sockets and
// signals to other processes. Returns the kernel's Landlock ABI used, 0 when it has none.
int RestrictFileSystem();
// The kernel's Landlock ABI, 0 when it has none.
int LandlockAbi();
// The process's threads, read through its status descriptor; 0 when it cannot be read.
int ThreadCount(int statusFd);
// The largest address space this process has had, read through its status descriptor. Plain
// system calls only: a crashed worker's signal handler asks it too.
std::size_t PeakAddressSpace(int statusFd);
// The last step, after the context exists: closes every descriptor but the report and the
// status, forbids new files, processes and privileges, makes the process undumpable and
// installs the filter (for every thread), which lets memory be made executable only with
// `executableMemory` (a worker that draws). False when any step failed.
bool ConfineShaderWorker(const ShaderWorkerFds& fds, double cpuSeconds, bool executableMemory);
// In a debug run: writes `note` and a newline to the game's standard error.
void DebugNote(const ShaderWorkerFds& fds, const char* note);
