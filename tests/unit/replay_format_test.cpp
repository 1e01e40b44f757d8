// The replay file: a recording survives its file form, and every kind of damage a file can
// carry is refused with a reason, never read past its end. The recorder keeps the Escape that
// ends the program out of the game and stops at its caps.
#include "app/replay_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "app/replay_record.h"

namespace {

Replay Sample() {
  Replay r;
  r.build = "1.0.0";
  r.duckLayout = 0x1234567890abcdefull;
  r.width = 800;
  r.height = 600;
  r.ducksCollected = 15;
  r.won = true;
  r.clock = {1.0f, 1.02f, 1.04f, 1.06f};
  r.inputs = {{1, ReplayInputKind::KeyDown, 87, 0, 0},
              {2, ReplayInputKind::Look, 0, -120.5f, 3.0f},
              {3, ReplayInputKind::KeyUp, 87, 0, 0}};
  r.hashes = {{0, 42}, {3, 43}};
  return r;
}

void Poke32(std::string& bytes, size_t at, uint32_t v) {
  std::memcpy(&bytes[at], &v, 4);
}
void PokeFloat(std::string& bytes, size_t at, float f) {
  std::memcpy(&bytes[at], &f, 4);
}

}  // namespace

TEST(ReplayFormat, ARecordingSurvivesItsFileForm) {
  const Replay r = Sample();
  Replay back;
  std::string why;
  ASSERT_TRUE(DecodeReplay(EncodeReplay(r), back, why)) << why;
  EXPECT_EQ(back.build, r.build);
  EXPECT_EQ(back.duckLayout, r.duckLayout);
  EXPECT_EQ(back.width, 800u);
  EXPECT_EQ(back.ducksCollected, 15u);
  EXPECT_TRUE(back.won);
  EXPECT_EQ(back.clock, r.clock);
  ASSERT_EQ(back.inputs.size(), 3u);
  EXPECT_EQ(back.inputs[1].kind, ReplayInputKind::Look);
  EXPECT_EQ(back.inputs[1].a, -120.5f);
  EXPECT_EQ(back.hashes[1].hash, 43u);
}

TEST(ReplayFormat, DamagedFilesAreRefusedWithAReason) {
  const std::string good = EncodeReplay(Sample());
  const size_t clockAt = kReplayHeaderBytes, inputAt = clockAt + 16, hashAt = inputAt + 48;
  const struct {
    const char* name;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"empty", [](std::string& b) { b.clear(); }},
      {"another magic", [](std::string& b) { b[0] = 'X'; }},
      {"a later version", [](std::string& b) { Poke32(b, 8, 2); }},
      {"a build name with a terminal escape", [](std::string& b) { b[12] = '\x1b'; }},
      {"cut short", [](std::string& b) { b.resize(b.size() - 1); }},
      {"a byte too many", [](std::string& b) { b.push_back(0); }},
      {"no frames", [](std::string& b) { Poke32(b, 44, 0); }},
      {"frames past the cap", [](std::string& b) { Poke32(b, 44, kReplayMaxFrames + 1); }},
      {"inputs past the cap", [](std::string& b) { Poke32(b, 48, 0xffffffffu); }},
      {"more ducks than the pool", [](std::string& b) { Poke32(b, 56, 16); }},
      {"a clock that runs back", [=](std::string& b) { PokeFloat(b, clockAt + 8, 0.5f); }},
      {"a clock that is not a number", [=](std::string& b) { PokeFloat(b, clockAt, NAN); }},
      {"an input after the last frame", [=](std::string& b) { Poke32(b, inputAt, 4); }},
      {"inputs out of order", [=](std::string& b) { Poke32(b, inputAt + 16, 0); }},
      {"an unknown input", [=](std::string& b) { Poke32(b, inputAt + 4, 99); }},
      {"a key past the table", [=](std::string& b) { Poke32(b, inputAt + 4, 1 | (5000u << 16)); }},
      {"an endless angle", [=](std::string& b) { PokeFloat(b, inputAt + 24, INFINITY); }},
      {"checks out of order", [=](std::string& b) { Poke32(b, hashAt + 16, 0); }},
  };
  for (const auto& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    Replay r;
    std::string why;
    EXPECT_FALSE(DecodeReplay(bytes, r, why)) << c.name;
    EXPECT_FALSE(why.empty()) << c.name;
  }
}

TEST(ReplayRecord, InputChangesAreRecordedButNotTheClosingEscape) {
  Game game;
  static ReplayRecorder recorder;
  StartRecording(recorder, game, "test");
  RecordBeforePoll(recorder, game);
  game.input.keyState[87] = true;   // W
  game.input.keyState[256] = true;  // Escape
  game.input.wireframe = true;
  game.camera.zoom = 30.0f;
  game.world.canoeNode.rising = true;
  RecordAfterPoll(recorder, game);
  RecordAfterFrame(recorder, game);

  Game replayed;
  ReplayCursor cursor;
  ApplyReplayInputs(recorder.replay, cursor, replayed);
  EXPECT_TRUE(replayed.input.keyState[87]);
  EXPECT_FALSE(replayed.input.keyState[256]);
  EXPECT_TRUE(replayed.input.wireframe);
  EXPECT_EQ(replayed.camera.zoom, 30.0f);
  EXPECT_TRUE(replayed.world.canoeNode.rising);
  EXPECT_EQ(cursor.input, recorder.replay.inputs.size());
}
