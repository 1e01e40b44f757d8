// replay_store.cpp: the replay folder, an atomic write (a temporary file renamed into place, so
// a full disk never leaves half a replay under a replay's name) and the pruning of old games.
#include "app/replay_store.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "trial/player_folders.h"
#include "trial/safe_file.h"

namespace {

void DropOldGames(const std::string& folder) {
  std::vector<std::string> games;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind("game-", 0) == 0 && name.size() > 4 &&
          name.compare(name.size() - 4, 4, ".vrp") == 0) {
        games.push_back(name);
      }
    }
    closedir(dir);
  }
  std::sort(games.begin(), games.end());  // the names begin with the time, so oldest first
  for (size_t i = 0; i + kReplaysKept < games.size(); ++i) {
    std::remove((folder + "/" + games[i]).c_str());
  }
}

}  // namespace

std::string ReplayFolder() {
  const std::string data = PlayerDataFolder();
  return data.empty() ? "" : data + "/replays";
}

bool KeepReplay(const Replay& replay, const std::string& folder, std::string& path,
                std::string& why) {
  if (folder.empty()) {
    why = "no folder for it (HOME is not set)";
    return false;
  }
  if (!MakePlayerFolder(folder)) {
    why = "could not make " + folder + " (" + std::strerror(errno) + ")";
    return false;
  }
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  char name[96];
  std::snprintf(name, sizeof name, "%s-%s-%02u-ducks.vrp", replay.won ? "win" : "game", stamp,
                replay.ducksCollected);
  path = folder + "/" + name;
  const std::string temporary = path + ".part";
  const std::string bytes = EncodeReplay(replay);
  FILE* file = std::fopen(temporary.c_str(), "wb");
  bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file && std::fclose(file) != 0) written = false;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    why = "could not write " + path + " (" + std::strerror(errno) + ")";
    std::remove(temporary.c_str());
    return false;
  }
  if (!replay.won) DropOldGames(folder);
  return true;
}

bool ReadReplayFile(const std::string& path, Replay& replay, std::string& why) {
  std::string bytes;
  const RunFileStatus status = ReadRunFile(path, kReplayMaxBytes, bytes);
  if (status != RunFileStatus::Read) {
    why = RunFileWords(status);
    return false;
  }
  return DecodeReplay(bytes, replay, why);
}
