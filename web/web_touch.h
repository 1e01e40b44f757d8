// web_touch.h: the C++ side of the page's on-screen controls for touch screens. The page's
// thumb pad and buttons hold the game's actions through the same path as the keys, so a touch
// player plays the same game through the same key handler as a keyboard player; a drag on the
// picture moves the cursor as the mouse would.
#pragma once

struct Game;

// Lets the page's controls reach this game (call once, after start-up).
void InstallTouchControls(Game& game);
