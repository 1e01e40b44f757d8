// Sound events: what changes between two snapshots and what the player hears of it, first as a
// table of single changes, then through whole frames of a box world with the real rules.
#include "audio/sound_events.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/frame_loop.h"
#include "app/game.h"
#include "box_world.h"

namespace {

using Ids = std::vector<SoundId>;

Ids IdsOf(const SoundEvents& events) {
  Ids ids;
  for (int i = 0; i < events.count; ++i) ids.push_back(events.list[i].id);
  return ids;
}

// A quiet mid-game moment: every duck present, the canoe on the water, keys up.
GameSnapshot Calm() {
  GameSnapshot s;
  for (int i = 0; i < DuckCount; ++i) {
    s.duckAlive[i] = true;
    s.duckCentre[i] = glm::vec3(2.0f * i, -0.5f, 3.0f);
  }
  s.secondsShown = 40;
  s.paddleSpeed = -60.0f;
  s.deltaTime = 0.02f;
  s.waterTop = -0.5f;
  s.canoeBottom = -0.5f;
  s.canoeCentre = glm::vec3(0.0f, -0.2f, 0.0f);
  s.blade = glm::vec3(0.5f, -0.8f, 0.9f);
  return s;
}

// The canoe moved `distance` along +x in the frame (with `keys` set on the after snapshot).
void Drive(GameSnapshot& after, float distance) {
  after.canoe[3].x += distance;
  after.forward = true;
}

// What a fresh observer hears of one frame.
SoundEvents Observe(const GameSnapshot& before, const GameSnapshot& after) {
  SoundObserver observer;
  SoundEvents events;
  ObserveFrame(observer, before, after, events);
  return events;
}

}  // namespace

TEST(SoundEvents, EachChangeSoundsOnce) {
  using Snap = GameSnapshot;
  using Id = SoundId;
  struct Case {
    const char* name;
    void (*change)(Snap& before, Snap& after);
    Ids expected;
  } const cases[] = {
      {"nothing changed", [](Snap&, Snap&) {}, {}},
      {"duck 4 collected", [](Snap&, Snap& a) { a.duckAlive[4] = false; }, {Id::Squeak}},
      {"two ducks in one frame",
       [](Snap&, Snap& a) { a.duckAlive[1] = a.duckAlive[9] = false; },
       {Id::Squeak, Id::Squeak}},
      {"a collected duck stays silent",
       [](Snap& b, Snap& a) { b.duckAlive[2] = a.duckAlive[2] = false; },
       {}},
      {"take-off", [](Snap&, Snap& a) { a.rising = true; }, {Id::TakeOff}},
      {"still rising", [](Snap& b, Snap& a) { b.rising = a.rising = true; }, {}},
      {"landing on the water", [](Snap& b, Snap&) { b.falling = true; }, {Id::Splash}},
      {"landing on the platform",
       [](Snap& b, Snap& a) { b.falling = true, a.canoeBottom = 1.0f; },
       {Id::Knock}},
      {"stroke turns at the bottom while driven",
       [](Snap&, Snap& a) { Drive(a, 0.06f), a.paddleSpeed = 60.0f; },
       {Id::Paddle}},
      {"stroke turns at the top while driven",
       [](Snap& b, Snap& a) { b.paddleSpeed = 60.0f, Drive(a, 0.06f), a.paddleSpeed = -60.0f; },
       {}},
      {"stroke turns with no key held", [](Snap&, Snap& a) { a.paddleSpeed = 60.0f; }, {}},
      {"stroke after the game is over",
       [](Snap& b, Snap& a) { b.gameOver = a.gameOver = a.forward = true, a.paddleSpeed = 60.0f; },
       {}},
      {"W held, canoe held back", [](Snap&, Snap& a) { Drive(a, 0.0f); }, {Id::Bump}},
      {"W held, canoe moved", [](Snap&, Snap& a) { Drive(a, 0.06f); }, {}},
      {"W held back while resting on the platform's top",
       [](Snap& b, Snap& a) { b.canoeBottom = a.canoeBottom = 1.0f, Drive(a, 0.0f); },
       {}},
      {"W held back in the air above the platform",
       [](Snap& b, Snap& a) {
         b.canoeBottom = a.canoeBottom = 1.5f, b.falling = a.falling = true, Drive(a, 0.0f);
       },
       {Id::Bump}},
      {"W and S held: no move expected", [](Snap&, Snap& a) { a.forward = a.backward = true; }, {}},
      {"A held, turn held back", [](Snap&, Snap& a) { a.left = true; }, {Id::Bump}},
      // Under half of the 0.12 Shift asks for.
      {"Shift+W held back", [](Snap&, Snap& a) { Drive(a, 0.05f), a.fast = true; }, {Id::Bump}},
      {"first frame: no time, no move expected",
       [](Snap& b, Snap& a) { b.deltaTime = 0.0f, a.forward = true; },
       {}},
      {"11 to 10 seconds ticks",
       [](Snap& b, Snap& a) { b.secondsShown = 11, a.secondsShown = 10; },
       {Id::Tick}},
      {"12 to 11 seconds is silent",
       [](Snap& b, Snap& a) { b.secondsShown = 12, a.secondsShown = 11; },
       {}},
      {"time runs out",
       [](Snap& b, Snap& a) { b.secondsShown = 1, a.secondsShown = 0, a.gameOver = true; },
       {Id::TimeUp}},
      {"the last duck wins",
       [](Snap& b, Snap& a) {
         b.ducksCollected = DuckCount - 1, a.ducksCollected = DuckCount;
         a.duckAlive[3] = false, a.gameOver = true;
       },
       {Id::Squeak, Id::Win}},
      {"no ticks after a win",
       [](Snap& b, Snap& a) {
         b.gameOver = a.gameOver = true, b.secondsShown = 5, a.secondsShown = 4;
       },
       {}},
  };
  for (const Case& c : cases) {
    GameSnapshot before = Calm(), after = Calm();
    c.change(before, after);
    EXPECT_EQ(IdsOf(Observe(before, after)), c.expected) << c.name;
  }
}

TEST(SoundEvents, SqueakSoundsWhereTheDuckWas) {
  GameSnapshot before = Calm(), after = Calm();
  after.duckAlive[6] = false;
  after.duckCentre[6] = glm::vec3(0.0f);  // what is left after collection must not matter
  SoundObserver observer;
  SoundEvents events;
  ObserveFrame(observer, before, after, events);
  ASSERT_EQ(events.count, 1);
  EXPECT_TRUE(events.list[0].positional);
  EXPECT_EQ(events.list[0].position, before.duckCentre[6]);
  EXPECT_EQ(events.list[0].pitch, 1.0f) << "the first duck squeaks as made";
  after.ducksCollected = DuckCount;
  ObserveFrame(observer, before, after, events);
  EXPECT_NEAR(events.list[0].pitch, 1.2f, 0.05f) << "the last about a fifth higher";
}

// Fifty strokes: each within its spread of pitch and gain, neighbours apart, the whole spread
// used.
TEST(SoundEvents, StrokesVaryInPitchAndGain) {
  SoundObserver observer;
  GameSnapshot before = Calm(), after = Calm();
  Drive(after, 0.06f);
  after.paddleSpeed = 60.0f;
  float last = 0.0f, lowest = 2.0f, highest = 0.0f;
  for (int i = 0; i < 50; ++i) {
    SoundEvents events;
    ObserveFrame(observer, before, after, events);
    const SoundEvent& e = events.list[0];
    EXPECT_NEAR(e.pitch, 1.0f, 0.06f) << "stroke " << i;
    EXPECT_NEAR(20.0f * std::log10(e.gain), 0.0f, 1.5f) << "stroke " << i;
    EXPECT_GT(std::fabs(e.pitch - last), 0.005f) << "stroke " << i;
    last = e.pitch, lowest = std::min(lowest, e.pitch), highest = std::max(highest, e.pitch);
  }
  EXPECT_GT(highest - lowest, 0.1f);
}

TEST(SoundEvents, FifteenDucksAndEverythingElseFitOneFrame) {
  GameSnapshot before = Calm(), after = Calm();
  for (bool& alive : after.duckAlive) alive = false;
  before.secondsShown = 11;
  after.secondsShown = 10;
  after.rising = true;
  after.ducksCollected = DuckCount;
  after.gameOver = true;
  Drive(after, 0.0f);
  after.paddleSpeed = 60.0f;
  EXPECT_EQ(Observe(before, after).count, DuckCount + 5);  // take-off, stroke, bump, tick, win
}

namespace {

// A box world run through the real frame steps, the render step doing what drawing does to
// the game (collection, the game-over decision), sound observing from outside.
struct Heard {
  Game game;
  SoundObserver observer;
  double clock = 1.0;
  std::vector<SoundEvent> events;
  std::function<void(Game&)> onPoll;  // runs once, inside the next frame's event step

  Heard() {
    MarkAllDucksPresent(game.state);
    BuildBoxWorld(game.world);
    ResetPaddle(game.state);
  }
  void Frames(int count) {
    FrameHooks hooks;
    hooks.user = this;
    hooks.now = [](void* user) { return static_cast<Heard*>(user)->clock; };
    hooks.pollEvents = [](void* user) {
      auto* heard = static_cast<Heard*>(user);
      if (heard->onPoll) heard->onPoll(heard->game);
      heard->onPoll = nullptr;
    };
    hooks.render = [](void* user) {
      Game& g = static_cast<Heard*>(user)->game;
      for (int i = 0; i < DuckCount; ++i) {
        if (g.state.duckAlive[i]) CollectDuckIfTouched(g.state, g.world, i);
      }
      BuildHudLines(g.state, false, g.clock.deltaTime, 1280, 720);
    };
    for (int i = 0; i < count; ++i) {
      const GameSnapshot before = TakeSnapshot(game);
      RunFrame(game, hooks);
      clock += 0.02;
      SoundEvents frame;
      ObserveFrame(observer, before, TakeSnapshot(game), frame);
      events.insert(events.end(), frame.list, frame.list + frame.count);
    }
  }
  // W held for `count` frames, the canoe first moved to `at` when given.
  void Paddle(int count, std::optional<glm::vec3> at = std::nullopt) {
    SceneNode& canoe = game.world.canoeNode;
    if (at) canoe.transform[3] = glm::vec4(*at, 1.0f), canoe.UpdateBounds();
    game.input.keyState[GLFW_KEY_W] = true;
    Frames(count);
  }
  int Count(SoundId id) const {
    int n = 0;
    for (const SoundEvent& e : events) n += e.id == id ? 1 : 0;
    return n;
  }
};

}  // namespace

TEST(SoundEvents, WholeFramesOfPlay) {
  struct Case {
    const char* name;
    std::function<void(Heard&)> play;
    std::vector<std::pair<SoundId, int>> counts;
  } const cases[] = {
      {"4 s paddling in open water: a stroke every 1.67 s, nothing else",
       [](Heard& h) {
         h.game.world.canoeNode.Rotate(180.0f, glm::vec3(0, 1, 0));  // away from the cube
         h.Paddle(200);
       },
       {{SoundId::Paddle, 2}, {SoundId::Bump, 0}, {SoundId::Squeak, 0}}},
      {"the arms move but the canoe is not driven: no strokes",
       [](Heard& h) { h.Frames(200); },
       {{SoundId::Paddle, 0}}},
      {"a jump on the water: take-off, then one splash",
       [](Heard& h) {
         h.Frames(1);
         h.onPoll = [](Game& g) { HandleKey(g, GLFW_KEY_SPACE, GLFW_PRESS); };
         h.Frames(150);
       },
       {{SoundId::TakeOff, 1}, {SoundId::Splash, 1}, {SoundId::Knock, 0}}},
      {"landing on the cube with W held: the knock, and no bump while it rests there",
       [](Heard& h) {
         h.game.world.canoeNode.falling = true;
         h.Paddle(150, glm::vec3(4.0f, 1.5f, 0.0f));
       },
       {{SoundId::Knock, 1}, {SoundId::Bump, 0}, {SoundId::Splash, 0}}},
      {"paddling into the far wall: a bump",
       [](Heard& h) {
         const glm::vec4 at = h.game.world.canoeNode.transform[3];
         h.Paddle(150, glm::vec3(45.0f, at.y, at.z));
       },
       {{SoundId::Bump, 1}}},
      {"pushing into the cube for 3 s: one bump",
       [](Heard& h) { h.Paddle(150); },
       {{SoundId::Bump, 1}}},
      {"the last 12 s run out: ten ticks, one ending",
       [](Heard& h) {
         h.game.state.timeLeft = 12.0f;
         h.Frames(700);
       },
       {{SoundId::Tick, 10}, {SoundId::TimeUp, 1}, {SoundId::Win, 0}}},
  };
  for (const Case& c : cases) {
    auto heard = std::make_unique<Heard>();
    c.play(*heard);
    for (const auto& [id, count] : c.counts) {
      EXPECT_EQ(heard->Count(id), count) << c.name << ", sound " << static_cast<int>(id);
    }
  }
}

TEST(SoundEvents, ListenerFollowsTheView) {
  auto heard = std::make_unique<Heard>();
  Game& game = heard->game;
  const GameSnapshot seat = TakeSnapshot(game);
  // Seated, the ear looks along the canoe's bow (+x at the start), a little down, upright.
  EXPECT_GT(seat.listener.forward.x, 0.9f);
  EXPECT_NEAR(seat.listener.forward.z, 0.0f, 1e-4f);
  EXPECT_GT(seat.listener.up.y, 0.9f);
  game.seatView = false;
  const GameSnapshot free = TakeSnapshot(game);
  EXPECT_NEAR(glm::distance(free.listener.position, game.camera.position), 0.0f, 1e-4f);
  EXPECT_NEAR(glm::distance(free.listener.forward, game.camera.front), 0.0f, 1e-4f);
}
