// safe_file.cpp: non-blocking, regular-only, size-capped reads of run-time files.
#include "trial/safe_file.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "trial/player_folders.h"

namespace {

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// openat2 has no wrapper in the C library we build against. The name is only looked up
// (O_PATH): opening a device can do something (a new terminal from /dev/ptmx, a rewound
// tape), so nothing is opened for reading before its type is known.
int LookUpBeneath(int folderFd, const char* name) {
  open_how how{};
  how.flags = O_PATH | O_CLOEXEC;
  // RESOLVE_BENEATH refuses "..", absolute names and links that leave the folder; magic links
  // (/proc/self/fd/N) lead anywhere, so they go too.
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(syscall(SYS_openat2, folderFd, name, &how, sizeof how));
}

RunFileStatus StatusOfOpenError(int error) {
  return error == EXDEV || error == ELOOP ? RunFileStatus::Outside : RunFileStatus::Missing;
}

// Turns a looked-up name (`pathFd`, closed here) into a descriptor open for reading when it
// is a regular file; -1 with `status` otherwise. The reopen goes through the descriptor
// itself, so it is the very file that was checked.
int OpenLookedUp(int pathFd, RunFileStatus& status) {
  struct stat info {};
  if (fstat(pathFd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(pathFd);
    status = RunFileStatus::NotRegular;
    return -1;
  }
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", pathFd);
  const int fd = open(self, kReadFlags);
  close(pathFd);
  status = fd < 0 ? RunFileStatus::Unreadable : RunFileStatus::Read;
  return fd;
}

// Reads an open regular file whole into `bytes`; closes `fd` either way.
RunFileStatus ReadOpened(int fd, std::size_t maxBytes, std::string& bytes) {
  struct stat info {};
  RunFileStatus status = RunFileStatus::Read;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    status = RunFileStatus::Unreadable;
  } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
    status = RunFileStatus::TooLarge;
  }
  bytes.clear();
  if (status == RunFileStatus::Read) {
    // The size is read, not trusted: a file that grows while it is read stops at the cap.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t have = 0;
    for (;;) {
      if (have == bytes.size()) bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
      if (have == bytes.size()) break;
      const ssize_t got = read(fd, bytes.data() + have, bytes.size() - have);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        status = RunFileStatus::Unreadable;
        break;
      }
      if (got == 0) break;
      have += static_cast<std::size_t>(got);
    }
    if (have > maxBytes) status = RunFileStatus::TooLarge;
    bytes.resize(status == RunFileStatus::Read ? have : 0);
  }
  close(fd);
  return status;
}

// `path` made absolute from the working directory, with "." and ".." taken by their names
// alone: where the file would be if no link were followed.
std::string NamedPlace(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return "";
    joined = std::string(cwd) + "/" + path;
  }
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string part = joined.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string place;
  for (const std::string& part : parts) place += "/" + part;
  return place.empty() ? "/" : place;
}

bool Beneath(const std::string& place, const std::string& folder) {
  return !folder.empty() && place.compare(0, folder.size(), folder) == 0 &&
         (place.size() == folder.size() || place[folder.size()] == '/' || folder == "/");
}

// Whether a looked-up `path` (open as `fd`) was reached through a link that leaves the game's
// folders: its data folder (the working directory) and the player's folders. A link into the
// system's shared data is fine: packagers link the font there.
bool LeavesGameFolders(const std::string& path, int fd) {
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  char target[4096];
  const ssize_t length = readlink(self, target, sizeof target - 1);
  if (length <= 0) return true;
  const std::string place(target, static_cast<std::size_t>(length));
  if (place == NamedPlace(path)) return false;  // no link on the way, or none that moved it
  std::vector<std::string> folders = {"/usr/share"};
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd)) folders.push_back(cwd);
  for (const std::string& folder : {PlayerConfigFolder(), PlayerDataFolder()}) {
    char* real = folder.empty() ? nullptr : realpath(folder.c_str(), nullptr);
    if (real) folders.push_back(real);
    std::free(real);
  }
  for (const std::string& folder : folders) {
    if (Beneath(place, folder)) return false;
  }
  return true;
}

}  // namespace

int OpenRunFile(const std::string& path, RunFileStatus& status) {
  const int pathFd = open(path.c_str(), O_PATH | O_CLOEXEC);
  if (pathFd >= 0 && LeavesGameFolders(path, pathFd))
    close(pathFd);
  else if (pathFd >= 0)
    return OpenLookedUp(pathFd, status);
  status = RunFileStatus::Missing;
  return -1;
}

RunFileStatus ReadRunFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  RunFileStatus status = RunFileStatus::Read;
  const int fd = OpenRunFile(path, status);
  return fd < 0 ? status : ReadOpened(fd, maxBytes, bytes);
}

RunFileStatus ReadRunFileInside(const std::string& folder, const std::string& name,
                                std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  // The loaders join folder and name with a slash, so an empty folder is the root.
  const std::string where = folder.empty() ? "/" : folder;
  const int folderFd = open(where.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return RunFileStatus::Missing;
  if (LeavesGameFolders(where, folderFd)) {
    close(folderFd);
    return RunFileStatus::Missing;
  }
  const int pathFd = LookUpBeneath(folderFd, name.c_str());
  const int error = errno;
  close(folderFd);
  if (pathFd < 0) return StatusOfOpenError(error);
  RunFileStatus status = RunFileStatus::Read;
  const int fd = OpenLookedUp(pathFd, status);
  return fd < 0 ? status : ReadOpened(fd, maxBytes, bytes);
}
const char* RunFileWords(RunFileStatus status) {
  switch (status) {
    case RunFileStatus::Read:
      return "it was read";
    case RunFileStatus::Missing:
      return "it could not be opened";
    case RunFileStatus::NotRegular:
      return "it is not a regular file";
    case RunFileStatus::TooLarge:
      return "it is larger than allowed";
    case RunFileStatus::Outside:
      return "its name leaves the model's folder";
    case RunFileStatus::Unreadable:
      return "reading it failed";
  }
  return "";
}
