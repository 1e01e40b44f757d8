// replay_record.h: recording a game as it is played, and stepping a recording back into a game.
//
// Recording observes the frame from outside: the input state before and after the poll step
// (what the keyboard, pads, mouse and touch did, after the bindings), the clock reading after
// the frame, and a hash of the game's state about once a second. Playback puts those changes
// back in place of the poll step and the readings in place of the clock, so the same rules run
// on the same numbers. Neither allocates per frame: the recording's room is reserved at start.
#pragma once

#include <cstdint>

#include "app/frame_loop.h"
#include "app/game.h"
#include "app/replay_format.h"

// The input state the poll step can change.
struct InputSnapshot {
  bool keyState[KeyCount] = {};
  uint16_t toggles = 0;
  float yaw = 0.0f, pitch = 0.0f, zoom = 0.0f;
};

struct ReplayRecorder {
  Replay replay;
  bool recording = false;  // false before start and once the recording has ended
  bool full = false;       // a cap was reached; what came before is kept
  // The input as last recorded: a change made between frames counts in the next poll step,
  // where playback puts it (nothing before the poll step reads input). Only the jump is
  // judged against the start of the poll step, since the rules also end jumps.
  InputSnapshot before;
  bool risingBeforePoll = false;
  int lastSecond = -1;    // the last whole second of play that has its hash
  float endClock = 0.0f;  // the reading 3 s after the end of the game (0: not yet over)
};

// The seconds a recording goes on after the end of the game, so the ending is seen.
constexpr float kReplayTail = 3.0f;

void StartRecording(ReplayRecorder& recorder, const Game& game, const char* build);
void RecordBeforePoll(ReplayRecorder& recorder, const Game& game);
void RecordAfterPoll(ReplayRecorder& recorder, const Game& game);
void RecordAfterFrame(ReplayRecorder& recorder, const Game& game);  // ends 3 s after the end

// Where playback stands in a recording.
struct ReplayCursor {
  uint32_t frame = 0;  // the next frame to run
  size_t input = 0;    // the next input change
  size_t hash = 0;     // the next state hash to check
};

// In place of the poll step of the cursor's frame: the recorded changes, applied.
void ApplyReplayInputs(const Replay& replay, ReplayCursor& cursor, Game& game);
// After the frame: checks a hash due on it and moves on. False when the state differs.
bool CheckReplayFrame(const Replay& replay, ReplayCursor& cursor, const Game& game);

uint64_t GameStateHash(const Game& game);     // the rules' state, not the window's
uint64_t DuckLayoutHash(const World& world);  // where the ducks were placed

// Frame hooks that record around another set's poll step, or play a recording in place of its
// poll step and clock. The loop that runs the frames calls AfterReplayFrame after each.
struct ReplayHooks {
  FrameHooks live;  // the window's or the script's own hooks
  Game* game = nullptr;
  ReplayRecorder* recorder = nullptr;  // set to record
  const Replay* playback = nullptr;    // set to play
  ReplayCursor cursor;
  void (*pollControls)(void* user) = nullptr;  // playback: the window's events, not the game's
  bool diverged = false;                       // a state hash differed
};

FrameHooks ReplayFrameHooks(ReplayHooks& hooks);
// Records the frame's clock and hash, or checks the hash. False once the state has diverged.
bool AfterReplayFrame(ReplayHooks& hooks);
// True once playback has run every recorded frame.
bool ReplayFinished(const ReplayHooks& hooks);
