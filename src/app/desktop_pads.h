// desktop_pads.h: the desktop's gamepads through GLFW's gamepad API: every slot read once a
// frame (a pad plugged in or pulled out mid-game is seen on the next frame), and the player's
// own mappings taken from a file beside settings.conf.
#pragma once

#include <string>

struct Session;

// Name of the player's mapping file, looked for in the game's folder.
constexpr const char* kPadMappingFile = "gamecontrollerdb.txt";

// Gives GLFW the well-formed mappings of `path`, if there is such a file. Anything wrong with
// it is one note on standard error; the game goes on with the mappings GLFW has built in.
void LoadPadMappings(const std::string& path);

// Reads every pad GLFW knows as a gamepad and applies them to the session's game; a joystick
// without a gamepad mapping is noted once on standard error and otherwise ignored.
void ReadDesktopPads(Session& session);
