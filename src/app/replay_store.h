// replay_store.h: where a desktop game keeps its replays, and keeping them.
//
// Replays go to $XDG_DATA_HOME/velloran/replays/ (default ~/.local/share/velloran/replays/),
// the XDG place for a program's saved data; a relative XDG_DATA_HOME is ignored, as the XDG
// rules ask. The last 20 games are kept, and every win.
#pragma once

#include <string>

#include "app/replay_format.h"

constexpr int kReplaysKept = 20;  // games other than wins

// The folder, or empty when neither XDG_DATA_HOME nor HOME gives an absolute path.
std::string ReplayFolder();
// Writes the replay under a name saying when and how the game ended, then drops the oldest
// games past the number kept. False with the reason in `why` (the game notes it and plays on).
bool KeepReplay(const Replay& replay, const std::string& folder, std::string& path,
                std::string& why);
// Reads a replay file the player named: false with the reason in `why`.
bool ReadReplayFile(const std::string& path, Replay& replay, std::string& why);
