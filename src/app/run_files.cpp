// run_files.cpp: the player's folder as the launcher names it, and the fallback to the data
// folder.
#include "app/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

std::string LauncherPlayerFolder() {
  const char* folder = std::getenv(kPlayerFolderVariable);
  return folder && folder[0] == '/' ? folder : "";
}

std::string RunFileFolder(const std::string& name) {
  const std::string folder = LauncherPlayerFolder();
  struct stat info {};
  // lstat: a link or FIFO there is still the player's file, and the safe open judges it.
  if (!folder.empty() && lstat((folder + "/" + name).c_str(), &info) == 0) return folder;
  return ".";
}

std::string RunFilePath(const std::string& name) {
  const std::string folder = RunFileFolder(name);
  return folder == "." ? name : folder + "/" + name;
}

void OfferPlayerFile(const std::string& name, const std::string& text) {
  const std::string folder = LauncherPlayerFolder();
  if (folder.empty()) return;
  // O_EXCL never replaces nor follows anything already there.
  const int fd = open((folder + "/" + name).c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const bool whole = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  if (!whole) unlink((folder + "/" + name).c_str());
}
