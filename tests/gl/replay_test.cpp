// A recorded game played again: the autopilot wins a game at an uneven frame rate while it is
// recorded; the recording, through its file form, then plays in a window of another size to
// the same state hashes, the same ducks and the same final state. Frames are drawn only now
// and then (drawing costs tens of milliseconds here); the others run the render step's rules.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/replay_record.h"
#include "autopilot.h"
#include "render_play.h"

namespace {

constexpr long kMaxFrames = 95 * 60;

void PlayFrame(ScriptedPlay& p) {
  p.options.draw = p.frameIndex % 200 == 0;
  RunScriptedFrames(p, 1);
}

}  // namespace

TEST(Replay, RecordedGamePlaysAgainToTheSameStateInAnotherWindow) {
  if (!HaveGameAssets()) GTEST_SKIP() << "game assets missing";
  std::string bytes;
  uint64_t finalHash = 0;
  int ducks = 0;
  {
    auto play = StartPlay(160, 90, 1.0 / 60);
    PlayGuard guard{play.get()};
    ScriptedPlay& p = *play;
    static ReplayRecorder recorder;
    StartRecording(recorder, p.game, "test");
    ReplayHooks hooks;
    hooks.game = &p.game;
    hooks.recorder = &recorder;
    p.replay = &hooks;
    Autopilot pilot;
    PlanAutopilot(pilot, p.game);
    std::mt19937 random(31);
    std::uniform_real_distribution<double> uneven(1.0 / 120.0, 1.0 / 20.0);
    // A look and a zoom on the way, as a mouse would give them.
    ScheduleKey(p, 5, GLFW_KEY_F6, GLFW_PRESS);
    ScheduleKey(p, 6, GLFW_KEY_F6, GLFW_RELEASE);
    while (recorder.recording && p.frameIndex < kMaxFrames) {
      p.options.frameSeconds = uneven(random);
      if (p.frameIndex == 40) HandleCursorPos(p.game, 500, 260);
      if (p.frameIndex == 41) HandleScroll(p.game, 0, -2);
      SteerAutopilot(pilot, p);
      PlayFrame(p);
    }
    ASSERT_FALSE(recorder.recording) << "the recording did not end 3 s after the game";
    EXPECT_TRUE(recorder.replay.won);
    EXPECT_GT(recorder.replay.hashes.size(), 10u);
    finalHash = GameStateHash(p.game);
    ducks = p.game.state.ducksCollected;
    bytes = EncodeReplay(recorder.replay);
    std::printf("recorded %zu frames, %zu input changes, %zu state hashes: %zu bytes\n",
                recorder.replay.clock.size(), recorder.replay.inputs.size(),
                recorder.replay.hashes.size(), bytes.size());
  }

  Replay replay;
  std::string why;
  ASSERT_TRUE(DecodeReplay(bytes, replay, why)) << why;
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  ScriptedPlay& p = *play;
  EXPECT_EQ(replay.duckLayout, DuckLayoutHash(p.game.world));
  ReplayHooks hooks;
  hooks.game = &p.game;
  hooks.playback = &replay;
  p.replay = &hooks;
  while (!ReplayFinished(hooks) && !hooks.diverged) PlayFrame(p);
  EXPECT_FALSE(hooks.diverged) << "at frame " << hooks.cursor.frame;
  EXPECT_EQ(hooks.cursor.hash, replay.hashes.size());
  EXPECT_EQ(p.game.state.ducksCollected, ducks);
  EXPECT_EQ(GameStateHash(p.game), finalHash);

  // The same recording with one input changed parts from the game, and says when.
  Replay altered = replay;
  altered.inputs[altered.inputs.size() / 2].kind = ReplayInputKind::Jump;
  auto again = StartPlay(160, 90);
  PlayGuard againGuard{again.get()};
  ReplayHooks alteredHooks;
  alteredHooks.game = &again->game;
  alteredHooks.playback = &altered;
  again->replay = &alteredHooks;
  while (!ReplayFinished(alteredHooks) && !alteredHooks.diverged) PlayFrame(*again);
  EXPECT_TRUE(alteredHooks.diverged);
}
