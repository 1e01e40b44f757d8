// gamepad.cpp: the pad's reading turned into keys, look and zoom. Held keys come from the
// left stick (with hysteresis: a stick resting near its press point would otherwise press and
// release every frame) or the d-pad; a press edge is a key press, a release edge a key release
// unless the keyboard still holds the key.
#include "app/gamepad.h"

#include <algorithm>
#include <cmath>

#include "scene/game_keys.h"

namespace {

constexpr int kEscapeSlot = kPadKeyCount - 1;  // Escape: pressed by holding Back, not a button

bool KeyboardHolds(const KeyboardView& keyboard, int key) {
  return keyboard.held && keyboard.held(keyboard.user, key);
}

// Whether a stick direction holds its key this frame, given whether it did last frame.
bool StickHolds(float value, float sign, bool wasHeld) {
  return value * sign > (wasHeld ? kStickRelease : kStickPress);
}

// The right stick past its dead zone, rescaled so the look starts from zero at its edge.
void LookFromStick(float x, float y, float& outX, float& outY) {
  const float length = std::sqrt(x * x + y * y);
  if (length <= kLookDeadZone) {
    outX = outY = 0.0f;
    return;
  }
  const float scale = std::min(1.0f, (length - kLookDeadZone) / (1.0f - kLookDeadZone)) / length;
  outX = x * scale;
  outY = y * scale;
}

// A trigger's travel from 0 to 1, nothing within its dead zone.
float TriggerTravel(float axis) {
  const float travel = std::clamp((axis + 1.0f) * 0.5f, 0.0f, 1.0f);
  return travel <= kTriggerDeadZone ? 0.0f
                                    : (travel - kTriggerDeadZone) / (1.0f - kTriggerDeadZone);
}

}  // namespace

// Escape stays the last row: the quit by holding Back presses it by its slot.
constexpr PadBinding kPadBindings[kPadKeyCount] = {
    {kKeyW, kPadLeftY, -1.0f}, {kKeyS, kPadLeftY, 1.0f},  {kKeyA, kPadLeftX, -1.0f},
    {kKeyD, kPadLeftX, 1.0f},  {kKeyLeftShift, -1, 0.0f}, {kKeySpace, -1, 0.0f},
    {kKeyF6, -1, 0.0f},        {kKeyF3, -1, 0.0f},        {kKeyF7, -1, 0.0f},
    {kKeyF2, -1, 0.0f},        {kKeyEscape, -1, 0.0f},
};
static_assert(kPadBindings[kEscapeSlot].key == kKeyEscape, "a row for every pad key, Escape last");

void MergePad(PadState& into, const PadState& pad) {
  for (int i = 0; i < kPadAxisCount; ++i) {
    const bool trigger = i == kPadLeftTrigger || i == kPadRightTrigger;
    // Triggers rest at -1, sticks at 0: "more pressed" means larger, or farther from 0.
    if (trigger ? pad.axes[i] > into.axes[i] : std::fabs(pad.axes[i]) > std::fabs(into.axes[i])) {
      into.axes[i] = pad.axes[i];
    }
  }
  for (int i = 0; i < kPadButtonCount; ++i) into.buttons[i] = into.buttons[i] || pad.buttons[i];
}

bool ApplyPad(Game& game, PadMemory& memory, const PadState& pad, float dt,
              const KeyboardView& keyboard, const Bindings* bindings) {
  static const Bindings defaults = DefaultBindings();
  const signed char(&buttonAction)[kPadButtonNameCount] =
      (bindings ? *bindings : defaults).padAction;
  bool quit = false;
  // A quit needs Back held through several frames: one long stalled frame must not count.
  memory.backSeconds =
      pad.buttons[kPadBack] ? memory.backSeconds + std::min(dt, kQuitStepLimit) : 0.0f;
  for (int i = 0; i < kPadKeyCount; ++i) {
    const PadBinding& binding = kPadBindings[i];
    bool holds = false;
    if (i == kEscapeSlot) {
      // Held until Back is let go, so the press happens once per hold.
      holds = memory.backSeconds >= kQuitHoldSeconds;
    } else {
      const int action = ActionOfGameKey(binding.key);
      for (int button = 0; button < kPadButtonCount; ++button) {
        holds = holds || (pad.buttons[button] && buttonAction[button] == action);
      }
      if (binding.axis >= 0) {
        const float value = pad.axes[binding.axis];
        memory.stickHeld[i] =
            std::isfinite(value) && StickHolds(value, binding.sign, memory.stickHeld[i]);
        holds = holds || memory.stickHeld[i];
      }
    }
    if (holds && !memory.keyHeld[i]) {
      quit = HandleKey(game, binding.key, kKeyPress) || quit;
    } else if (holds) {
      // The keyboard may have released the key meanwhile; the pad still holds it.
      game.input.keyState[binding.key] = true;
    } else if (memory.keyHeld[i] && !KeyboardHolds(keyboard, binding.key)) {
      HandleKey(game, binding.key, kKeyRelease);
    }
    memory.keyHeld[i] = holds;
  }

  float lookX = 0.0f, lookY = 0.0f;
  LookFromStick(pad.axes[kPadRightX], pad.axes[kPadRightY], lookX, lookY);
  // Stick up is negative; the mouse's upward offset is positive.
  if (std::isfinite(lookX) && std::isfinite(lookY) && (lookX != 0.0f || lookY != 0.0f)) {
    game.camera.Look(lookX * kLookRate * dt, -lookY * kLookRate * dt);
  }
  const float zoom =
      TriggerTravel(pad.axes[kPadRightTrigger]) - TriggerTravel(pad.axes[kPadLeftTrigger]);
  if (std::isfinite(zoom) && zoom != 0.0f) game.camera.ZoomBy(zoom * kZoomRate * dt);
  return quit;
}

bool ShouldNoteUnusablePad(bool& noted, bool present, bool usable) {
  if (!present) {
    noted = false;  // the next device in this slot is a new one
    return false;
  }
  if (usable || noted) return false;
  noted = true;
  return true;
}
