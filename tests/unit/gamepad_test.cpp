// The pad's reading as keys, look and zoom: stick thresholds with hysteresis, buttons through
// the game's own key handling, keyboard and pad together, pads coming and going, the quit
// hold, and the player's mapping file sorted line by line.
#include "app/gamepad.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/pad_mappings.h"

namespace {

constexpr float kDt = 0.02f;

struct Rig {
  std::unique_ptr<Game> game = std::make_unique<Game>();
  PadMemory memory;
  bool keyboard[KeyCount] = {};  // what the keyboard itself holds
  // One frame: the keyboard's events (through HandleKey, as the key callback does), then the pad.
  bool Frame(const PadState& pad, float dt = kDt) {
    const KeyboardView view{keyboard,
                            [](void* user, int key) { return static_cast<bool*>(user)[key]; }};
    return ApplyPad(*game, memory, pad, dt, view);
  }
  void Key(int key, bool down) {
    keyboard[key] = down;
    HandleKey(*game, key, down ? GLFW_PRESS : GLFW_RELEASE);
  }
  bool Held(int key) const { return game->input.keyState[key]; }
};

PadState LeftStick(float x, float y) {
  PadState pad;
  pad.axes[kPadLeftX] = x;
  pad.axes[kPadLeftY] = y;
  return pad;
}

PadState Pressing(int button) {
  PadState pad;
  pad.buttons[button] = true;
  return pad;
}

TEST(Gamepad, StickHoldsKeysWithDeadZoneAndHysteresis) {
  // Successive frames of one stick axis, and which of its two keys is held after each.
  struct Step {
    float value;
    bool negativeHeld, positiveHeld;
  };
  const Step steps[] = {
      {0.0f, false, false},   {-0.45f, false, false},  // inside the press point: nothing
      {-0.6f, true, false},   {-0.4f, true, false},    // pressed; held down to the release point
      {-0.31f, true, false},  {-0.29f, false, false},  // released below it
      {-0.45f, false, false},                          // must pass the press point again
      {1.0f, false, true},    {0.35f, false, true},   {-1.0f, true, false},  // straight across
      {NAN, false, false},    {0.0f, false, false}};
  struct Axis {
    int negativeKey, positiveKey;
    bool vertical;
  };
  for (const Axis axis :
       {Axis{GLFW_KEY_A, GLFW_KEY_D, false}, Axis{GLFW_KEY_W, GLFW_KEY_S, true}}) {
    Rig rig;
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << "key " << axis.negativeKey << " value " << step.value);
      rig.Frame(axis.vertical ? LeftStick(0.0f, step.value) : LeftStick(step.value, 0.0f));
      EXPECT_EQ(rig.Held(axis.negativeKey), step.negativeHeld);
      EXPECT_EQ(rig.Held(axis.positiveKey), step.positiveHeld);
    }
  }
}

// Every button binding holds its key while pressed and goes through HandleKey: a toggle flips
// once per press however long it is held, and Space starts a jump.
TEST(Gamepad, ButtonsPressKeysThroughTheGamesKeyHandling) {
  const Bindings defaults = DefaultBindings();
  for (int button = 0; button < kPadButtonCount; ++button) {
    if (defaults.padAction[button] < 0) continue;
    const int key = kActions[defaults.padAction[button]].gameKey;
    SCOPED_TRACE(testing::Message() << "button " << button << " key " << key);
    Rig rig;
    Game reference;  // the same key from the keyboard
    HandleKey(reference, key, GLFW_PRESS);
    for (int frame = 0; frame < 3; ++frame) rig.Frame(Pressing(button));
    EXPECT_TRUE(rig.Held(key));
    EXPECT_EQ(rig.game->seatView, reference.seatView);
    EXPECT_EQ(rig.game->input.showFrameTime, reference.input.showFrameTime);
    EXPECT_EQ(rig.game->input.wireframe, reference.input.wireframe);
    EXPECT_EQ(rig.game->input.shadowsEnabled, reference.input.shadowsEnabled);
    EXPECT_EQ(rig.game->world.canoeNode.rising, reference.world.canoeNode.rising);
    rig.Frame(PadState{});
    EXPECT_FALSE(rig.Held(key));
  }
}

TEST(Gamepad, KeyboardAndPadReleaseOnlyTheirOwnHold) {
  Rig rig;
  rig.Key(GLFW_KEY_W, true);
  rig.Frame(LeftStick(0.0f, -1.0f));
  rig.Frame(PadState{});  // the pad lets go: the keyboard still holds W
  EXPECT_TRUE(rig.Held(GLFW_KEY_W));
  rig.Frame(LeftStick(0.0f, -1.0f));
  rig.Key(GLFW_KEY_W, false);  // the keyboard lets go between frames...
  rig.Frame(LeftStick(0.0f, -1.0f));
  EXPECT_TRUE(rig.Held(GLFW_KEY_W));  // ...the pad's hold is back before the game reads keys
  rig.Frame(PadState{});
  EXPECT_FALSE(rig.Held(GLFW_KEY_W));
  // Shift from the keyboard, paddling from the pad: the fast stroke, as with two keys.
  rig.Key(GLFW_KEY_LEFT_SHIFT, true);
  rig.Frame(LeftStick(0.0f, -1.0f));
  EXPECT_TRUE(rig.Held(GLFW_KEY_LEFT_SHIFT) && rig.Held(GLFW_KEY_W));
}

TEST(Gamepad, PulledPadReleasesWhatItHeld) {
  Rig rig;
  PadState pad = LeftStick(-1.0f, -1.0f);  // a diagonal holds both keys
  pad.buttons[kPadRightBumper] = true;
  rig.Frame(pad);
  EXPECT_TRUE(rig.Held(GLFW_KEY_W) && rig.Held(GLFW_KEY_A) && rig.Held(GLFW_KEY_LEFT_SHIFT));
  rig.Frame(PadState{});  // the platform reads no pad at all
  for (int key : {GLFW_KEY_W, GLFW_KEY_A, GLFW_KEY_LEFT_SHIFT}) EXPECT_FALSE(rig.Held(key)) << key;
}

TEST(Gamepad, UnusableDeviceIsNotedOncePerPlugging) {
  struct Step {
    bool present, usable, note;
  };
  const Step steps[] = {{false, false, false}, {true, false, true}, {true, false, false},
                        {false, false, false}, {true, false, true}, {false, false, false},
                        {true, true, false},   {true, true, false}};
  bool noted = false;
  for (const Step& step : steps)
    EXPECT_EQ(ShouldNoteUnusablePad(noted, step.present, step.usable), step.note);
}

TEST(Gamepad, BackHeldDeliberatelyQuitsOnce) {
  Rig rig;
  const PadState back = Pressing(kPadBack);
  EXPECT_FALSE(rig.Frame(back, 5.0f));  // one stalled frame is not a deliberate hold
  rig.Frame(PadState{});
  int frames = 0, quits = 0;
  for (; frames < 200 && quits == 0; ++frames) quits += rig.Frame(back, kDt) ? 1 : 0;
  EXPECT_NEAR(frames, kQuitHoldSeconds / kDt, 1.0f);
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(rig.Frame(back, kDt));  // held on: no second quit
  rig.Frame(PadState{});
  EXPECT_FALSE(rig.Held(GLFW_KEY_ESCAPE));
}

TEST(Gamepad, RightStickLooksAtAFrameRateIndependentSpeed) {
  struct Case {
    float x, y;
    int frames;
    float dt;
    float yaw, pitch;  // expected change in degrees
  };
  const float full = kLookRate * Camera{}.sensitivity * 0.1f;  // 0.1 s at full tilt
  const Case cases[] = {
      {0.15f, -0.1f, 10, 0.01f, 0.0f, 0.0f},  // inside the dead zone
      {1.0f, 0.0f, 10, 0.01f, full, 0.0f},      {1.0f, 0.0f, 1, 0.1f, full, 0.0f},
      {-1.0f, 0.0f, 5, 0.02f, -full, 0.0f},     {0.0f, -1.0f, 2, 0.05f, 0.0f, full},  // up: up
      {0.6f, 0.0f, 1, 0.1f, full * 0.5f, 0.0f},  // half way past the dead zone: half speed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " x" << c.frames);
    Rig rig;
    const float yaw = rig.game->camera.yaw, pitch = rig.game->camera.pitch;
    PadState pad;
    pad.axes[kPadRightX] = c.x;
    pad.axes[kPadRightY] = c.y;
    for (int i = 0; i < c.frames; ++i) rig.Frame(pad, c.dt);
    EXPECT_NEAR(rig.game->camera.yaw - yaw, c.yaw, 1e-3f);
    EXPECT_NEAR(rig.game->camera.pitch - pitch, c.pitch, 1e-3f);
  }
}

TEST(Gamepad, TriggersZoom) {
  struct Case {
    float left, right, change;  // change of the field of view over 0.1 s
  };
  const Case cases[] = {{-1.0f, -1.0f, 0.0f},
                        {-1.0f, -0.85f, 0.0f},             // at rest / dead zone
                        {-1.0f, 1.0f, -kZoomRate * 0.1f},  // right: in
                        {1.0f, -1.0f, 0.0f},               // left: out, but 45 is the widest
                        {1.0f, 1.0f, 0.0f}};
  for (const Case& c : cases) {
    Rig rig;
    PadState pad;
    pad.axes[kPadLeftTrigger] = c.left;
    pad.axes[kPadRightTrigger] = c.right;
    const float zoom = rig.game->camera.zoom;
    for (int i = 0; i < 5; ++i) rig.Frame(pad, kDt);
    EXPECT_NEAR(rig.game->camera.zoom - zoom, c.change, 1e-3f) << c.left << " " << c.right;
  }
}

TEST(Gamepad, MergedPadsTakeTheStrongestInput) {
  PadState merged;
  PadState a = LeftStick(-0.3f, 0.9f);
  a.buttons[kPadA] = true;
  PadState b = LeftStick(0.8f, 0.1f);
  b.axes[kPadRightTrigger] = 0.5f;
  MergePad(merged, a);
  MergePad(merged, b);
  EXPECT_FLOAT_EQ(merged.axes[kPadLeftX], 0.8f);
  EXPECT_FLOAT_EQ(merged.axes[kPadLeftY], 0.9f);
  EXPECT_FLOAT_EQ(merged.axes[kPadLeftTrigger], -1.0f);
  EXPECT_FLOAT_EQ(merged.axes[kPadRightTrigger], 0.5f);
  EXPECT_TRUE(merged.buttons[kPadA]);
}

TEST(PadMappings, SortsWellFormedLinesFromTheRest) {
  const std::string guid = "030000005e0400008e02000010010000";
  const std::string good = guid + ",Pad,a:b0,b:b1,leftx:a0,platform:Linux,";
  struct Case {
    std::string text;
    int kept, refused, over = 0;
  };
  std::string many;  // one mapping more than GLFW is given, each for its own pad
  for (int i = 0; i <= kMaxPadMappings; ++i) {
    char id[33];
    std::snprintf(id, sizeof id, "%032x", i);
    many += std::string(id) + ",Pad,a:b0,\n";
  }
  const Case cases[] = {
      {"", 0, 0},
      {"# comment\n\n   \r\n", 0, 0},
      {good + "\n" + good + "\r\n", 2, 0},
      {good, 1, 0},                                   // no final newline
      {guid + ",Pad,a:b0", 1, 0},                     // no trailing comma
      {"03000000,Pad,a:b0,\n", 0, 1},                 // short GUID
      {"g" + guid.substr(1) + ",Pad,a:b0,\n", 0, 1},  // not hex
      {guid + ",Pad,\n", 0, 1},                       // no fields
      {guid + ",,a:b0\n", 0, 1},                      // no name
      {guid + ",Pad,a:b0,junk,\n", 0, 1},             // a field without a value
      {guid + ",Pad,a:b0,:b1\n", 0, 1},               // a value without a field
      {guid + ",Pad,a:b0,b:b1:b2\n", 0, 1},           // two colons
      {guid + ",Pad\x01,a:b0\n", 0, 1},               // a control byte
      {guid + ",Pad,a:b0" + std::string(1, '\0') + ",b:b1\n", 0, 1},
      {guid + ",Pad," + std::string(1000, 'x') + ":b0\n", 0, 1},  // past GLFW's line length
      {"garbage\n" + good + "\n\x89PNG\r\n", 1, 2},
      {good + "\n" + guid + "," + std::string(kMaxPadNameLength, 'n') + ",a:b0\n", 2, 0},
      {good + "\n" + guid + "," + std::string(kMaxPadNameLength + 1, 'n') + ",a:b0\n", 1, 1},
      {good + "\n" + many, kMaxPadMappings, 0, 2},  // GLFW is given the first ones only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 60));
    const PadMappingLines sorted = SortPadMappings(c.text);
    EXPECT_EQ(sorted.keptCount, c.kept);
    EXPECT_EQ(sorted.refusedCount, c.refused);
    EXPECT_EQ(sorted.overCount, c.over);
    EXPECT_EQ(std::count(sorted.kept.begin(), sorted.kept.end(), '\n'), c.kept);
    if (c.kept > 0) {
      EXPECT_EQ(sorted.kept.find(good.substr(0, 40)), 0u);
    }
  }
}

}  // namespace
