// run_files.h: which folder each of the player's run-time files (settings.conf, options.conf,
// gamecontrollerdb.txt) is read from. Started directly, the game reads them from its working
// directory, as it always has. The installed launcher runs the game in a data folder the player
// cannot write, and names the player's own folder in VELLORAN_PLAYER_FOLDER: a file there is
// read in place of the data folder's.
#pragma once

#include <string>

constexpr const char* kPlayerFolderVariable = "VELLORAN_PLAYER_FOLDER";

// The folder the launcher named, when it is absolute; empty when the game was started directly.
std::string LauncherPlayerFolder();
// The path to read `name` from: in the launcher's player folder when it holds `name`, else in
// the working directory (the name alone).
std::string RunFilePath(const std::string& name);
// The folder RunFilePath reads `name` from: the player folder or ".".
std::string RunFileFolder(const std::string& name);
// In the launcher's player folder, writes `text` as `name` when no such entry is there yet, so
// the player finds the file to change. Quietly does nothing otherwise.
void OfferPlayerFile(const std::string& name, const std::string& text);
