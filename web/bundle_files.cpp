// bundle_files.cpp: the browser build's run-time file opens (trial/safe_file.h). In the
// browser every file the game reads is one the page downloaded with the game and unpacked into
// memory before main, so nothing there can be a FIFO, a device or a link elsewhere; the
// desktop's careful lookups (openat2 beneath a folder) do not exist here and are not needed.
// What is kept: regular files only, and the cap on what a read may take.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "trial/safe_file.h"

int OpenRunFile(const std::string& path, RunFileStatus& status) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    status = RunFileStatus::Missing;
    return -1;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    status = RunFileStatus::NotRegular;
    return -1;
  }
  status = RunFileStatus::Read;
  return fd;
}

RunFileStatus ReadRunFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  RunFileStatus status = RunFileStatus::Read;
  const int fd = OpenRunFile(path, status);
  if (fd < 0) return status;
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) {
      status = got < 0 ? RunFileStatus::Unreadable : status;
      break;
    }
    if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
      status = RunFileStatus::TooLarge;
      break;
    }
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  if (status != RunFileStatus::Read) bytes.clear();
  return status;
}
