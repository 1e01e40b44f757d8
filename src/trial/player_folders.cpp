// player_folders.cpp: the XDG base directory lookup for the game's own folders.
#include "trial/player_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace {

// $variable when it is absolute, else $HOME/fallback when $HOME is absolute, then "/velloran".
std::string GameFolder(const char* variable, const char* fallback) {
  const char* base = std::getenv(variable);
  if (base && base[0] == '/') return std::string(base) + "/velloran";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/" + fallback + "/velloran";
  return "";
}

}  // namespace

std::string PlayerConfigFolder() {
  return GameFolder("XDG_CONFIG_HOME", ".config");
}

std::string PlayerDataFolder() {
  return GameFolder("XDG_DATA_HOME", ".local/share");
}

bool MakePlayerFolder(const std::string& folder) {
  if (folder.empty()) return false;
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
