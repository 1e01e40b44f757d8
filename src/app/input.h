// input.h: the key, cursor and scroll handlers that GLFW's callbacks forward to. What they
// keep (held keys, display toggles, mouse state) is the game's InputState record.
#pragma once

#include "scene/game.h"  // InputState, Game

// Key event; returns true when the window should close (Escape pressed).
bool HandleKey(Game& game, int key, int action);
void HandleCursorPos(Game& game, double xpos, double ypos);
void HandleScroll(Game& game, double xoffset, double yoffset);
