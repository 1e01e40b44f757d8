// web_replay.h: the page's replays: every game recorded around its poll step, as on the
// desktop, and a recording (the game just played, or a file the player dropped or picked)
// played back through the game's own frames, paced by its recorded clock.
#pragma once

#include <string>

#include "app/frame_loop.h"
#include "audio/game_audio.h"

// Before the first frame: the recording starts, and the game's start is kept for playback.
void StartPageRecording(Game& game);
// The live frame's hooks with the recording around their poll step.
FrameHooks PageRecordingHooks(const FrameHooks& live);
// At the start of the live poll step: the page's keys came between frames.
void PageBeforeLivePoll(const Game& game);
// After each live frame; true on the frame the recording ended (3 s after the end).
bool AfterPageFrame();
void EndPageRecording();                  // the game ended early (Escape)
const std::string& PageRecordingBytes();  // the file form, as the desktop writes it

// Playback, in place of the game from then on. Both return the reason a file is refused, or
// an empty string once playback has begun.
std::string WatchPageRecording(Game& game);
std::string WatchReplayBytes(Game& game, const std::string& bytes);
std::string WatchAgain(Game& game);  // the last replay played, from its start
bool Watching();
// One animation frame of playback: runs the recorded frames due by `now` (seconds), drawing
// only the last of them through `live`'s render.
void WatchStep(Game& game, GameAudio& audio, const FrameHooks& live, double now);
void WatchKey(int key);  // a key pressed while watching: pause, faster, slower
