// player_folders.h: where the player's own files for this game live, outside its data folder.
//
// The XDG base directories name them: $XDG_CONFIG_HOME/velloran for what the player sets
// (default ~/.config/velloran) and $XDG_DATA_HOME/velloran for what the game keeps (default
// ~/.local/share/velloran). A relative value is ignored, as the XDG rules say, so a game
// started from another folder never reads or writes somewhere unexpected.
#pragma once

#include <string>

// The player's configuration folder for the game; empty when neither the variable nor $HOME
// gives an absolute path.
std::string PlayerConfigFolder();
// The player's data folder for the game (replays and the like); empty like the one above.
std::string PlayerDataFolder();
// Makes `folder` and its missing parents (mode 0700 for new ones); true when it is there.
bool MakePlayerFolder(const std::string& folder);
