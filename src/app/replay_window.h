// replay_window.h: watching a recorded game again in the game's own window.
//
// The recording runs through the real frame sequence in place of the live input and clock:
// Space pauses, Up plays faster, Down slower (the window's title names them and the speed).
// At the end the last frame stays, with the HUD the player saw, until Escape or the window
// closes. Lines about the replay go to standard error, never beside the game's own output.
#pragma once

#include <string>

#include "app/replay_format.h"

struct Session;
struct GameAudio;

// Plays `replay` in the session's window. Returns the exit status: 0 after a replay watched to
// its end or closed, 1 when the game diverged from the recording.
int WatchReplay(Session& session, GameAudio& audio, const Replay& replay);
