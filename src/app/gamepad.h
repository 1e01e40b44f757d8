// gamepad.h: what a gamepad does to the game, as plain logic. A reading of the pads (one
// value, whatever the platform read it from) becomes the same held keys, key presses, camera
// turns and zoom the keyboard and mouse make, so every rule the game applies to keys applies
// to the pad unchanged. The platform files only fill a PadState and call ApplyPad once a
// frame, after the window's events and before the game reads its keys.
#pragma once

#include "app/game.h"
#include "input/bindings.h"

// Buttons and axes in the usual gamepad layout (the order GLFW's gamepad state uses).
enum PadButton {
  kPadA,  // south
  kPadB,  // east
  kPadX,  // west
  kPadY,  // north
  kPadLeftBumper,
  kPadRightBumper,
  kPadBack,
  kPadStart,
  kPadGuide,
  kPadLeftThumb,
  kPadRightThumb,
  kPadDpadUp,
  kPadDpadRight,
  kPadDpadDown,
  kPadDpadLeft,
  kPadButtonCount
};
enum PadAxis {
  kPadLeftX,  // -1 left .. 1 right
  kPadLeftY,  // -1 up .. 1 down
  kPadRightX,
  kPadRightY,
  kPadLeftTrigger,  // -1 released .. 1 fully pressed
  kPadRightTrigger,
  kPadAxisCount
};

// One reading of the pads. A default value is no pad at all: sticks centred, nothing pressed.
struct PadState {
  float axes[kPadAxisCount] = {0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f};
  bool buttons[kPadButtonCount] = {};
};

// Tuning: where a stick direction starts and stops holding its key, the right stick's dead
// zone, and the full-deflection rates of the look and the zoom.
constexpr float kStickPress = 0.5f;       // a stick direction holds its key beyond this...
constexpr float kStickRelease = 0.3f;     // ...and lets go only below this, so it never chatters
constexpr float kLookDeadZone = 0.2f;     // right stick: worn sticks rest off centre
constexpr float kTriggerDeadZone = 0.1f;  // of the trigger's 0..1 travel
constexpr float kLookRate = 480.0f;       // mouse counts per second at full tilt (120 deg/s)
constexpr float kZoomRate = 30.0f;        // wheel steps (degrees) per second, full trigger
constexpr float kQuitHoldSeconds = 1.0f;  // Back held this long quits, as Escape does
constexpr float kQuitStepLimit = 0.1f;    // one frame counts at most this much of the hold

// How many joystick slots a platform reads (GLFW's sixteen).
constexpr int kPadSlots = 16;
static_assert(kPadButtonCount == kPadButtonNameCount, "every pad button has its place");

// How many keys the pad can hold (W, S, A, D, Shift, Space, F6, F3, F7, F2, Escape).
constexpr int kPadKeyCount = 11;

// What the pad did last frame: the keys it holds, which stick directions are past their
// press point, and how long Back has been held.
struct PadMemory {
  bool keyHeld[kPadKeyCount] = {};
  bool stickHeld[kPadKeyCount] = {};
  float backSeconds = 0.0f;
};

// Which keys the keyboard itself holds: a pad letting go of a key must not release the
// keyboard's hold on it.
struct KeyboardView {
  void* user = nullptr;
  bool (*held)(void* user, int key) = nullptr;  // null: the keyboard holds nothing
};

// Takes the largest tilt of each axis and every pressed button of `pad` into `into`, so two
// pads steer the one canoe together.
void MergePad(PadState& into, const PadState& pad);

// Applies one reading of the pads; dt is the frame time the game's own steps use. Presses and
// releases go through HandleKey; look and zoom go to the camera as mouse and wheel would. The
// buttons do what `bindings` binds them to (null: the defaults). Returns true when the player
// asked to quit (Back held), as HandleKey does for Escape.
bool ApplyPad(Game& game, PadMemory& memory, const PadState& pad, float dt,
              const KeyboardView& keyboard, const Bindings* bindings = nullptr);

// The game keys the pad can hold, with the stick direction that holds each; its buttons are
// bound like keys (input/bindings.h).
struct PadBinding {
  int key;     // GLFW key code the binding presses
  int axis;    // stick axis that presses it (-1: none)
  float sign;  // which way along that axis
};
extern const PadBinding kPadBindings[kPadKeyCount];

// One joystick slot's report of an unusable device; `noted` is the slot's memory of having
// made it. True exactly once for each device plugged into the slot that is not a usable pad.
bool ShouldNoteUnusablePad(bool& noted, bool present, bool usable);
