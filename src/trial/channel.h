// channel.h: the pipes of the trial. A worker's report to the broker, the broker's records
// to the game, and the reads and writes both use. Every length read from a pipe is checked
// against a limit before anything is allocated for it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "trial/file_trial.h"

constexpr std::uint8_t kEndOfTrial = 0xFF;  // the broker's last record

double MonotonicSeconds();  // CLOCK_MONOTONIC, for deadlines

bool WriteAll(int fd, const void* data, std::size_t size);  // blocking, retries EINTR
// Reads exactly `size` bytes, waiting until the monotonic `deadline` at most (0: no deadline).
// False on end of file, an error or the deadline.
bool ReadAll(int fd, void* data, std::size_t size, double deadline = 0.0);

// Forks a child that runs `child(writeFd)`, which never returns, and gives the parent the
// pipe's read end (1 MiB of buffer: decoded images pass through). A fork refused for want of
// processes or memory is tried again a few times within about half a second, since a busy
// machine frees both soon. -1 when no child was made.
template <typename Child>
pid_t ForkWithPipe(int& readFd, Child child);

// A worker's report: 'D' or 'F' (decoded or not), the length-prefixed payload, then 'E'.
// A worker that dies before the 'E' has crashed.
std::string WorkerReport(bool decoded, const std::string& payload);
// The payload of a whole report, and whether it decoded; false for anything else.
bool ParseWorkerReport(const std::string& report, bool& decoded, std::string& payload);

// Appends one record for the game: verdict, kind, decoded, signal, peak, path, payload.
void AppendRecord(std::string& output, const std::string& path, const TrialRecord& record);
// The head of one record (all but the payload); `payloadSize` says how much follows.
// False at the end of the trial, on a broken record or past `deadline`.
bool ReadRecordHead(int fd, double deadline, std::string& path, TrialRecord& record,
                    std::uint64_t& payloadSize);

// ---- implementation of the template ------------------------------------------------------
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

constexpr int kForkRetries = 3;  // further tries of a refused fork

template <typename Child>
pid_t ForkWithPipe(int& readFd, Child child) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  pid_t pid = fork();
  for (int retry = 0; pid < 0 && (errno == EAGAIN || errno == ENOMEM) && retry < kForkRetries;
       ++retry) {
    usleep(static_cast<useconds_t>(25000) << (2 * retry));  // 25, 100 and 400 ms
    pid = fork();
  }
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return -1;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    child(pipeFds[1]);
    _exit(1);
  }
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETPIPE_SZ, 1 << 20);
  readFd = pipeFds[0];
  return pid;
}
