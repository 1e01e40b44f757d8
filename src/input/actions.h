// actions.h: what the player can ask of the game, by name. Every key, pad button and touch
// control is bound to one of these; the game's handlers still speak in key codes, so each
// action also carries the key it has always been, which is what a binding delivers.
#pragma once

#include "scene/game_keys.h"

enum class Action {
  Forward,
  Back,
  Left,
  Right,
  Sprint,
  Jump,
  View,
  FrameTime,
  Wireframe,
  Shadows,
  Mute,
  Quit,
  Help,
  CameraForward,
  CameraBack,
  CameraLeft,
  CameraRight,
};
constexpr int kActionCount = 17;

struct ActionInfo {
  Action action;
  const char* name;         // as options.conf spells it
  const char* description;  // as the help panel says it
  int gameKey;              // the key the game's handlers know the action by
  int padButtons[2];        // pad buttons doing it by default (kPadButtonNames; -1: none)
};
// In the order the help panel lists them; row i is action i.
inline constexpr ActionInfo kActions[kActionCount] = {
    {Action::Forward, "forward", "paddle forward", kKeyW, {11, -1}},
    {Action::Back, "back", "paddle back", kKeyS, {13, -1}},
    {Action::Left, "left", "turn left", kKeyA, {14, -1}},
    {Action::Right, "right", "turn right", kKeyD, {12, -1}},
    {Action::Sprint, "sprint", "paddle harder", kKeyLeftShift, {4, 5}},
    {Action::Jump, "jump", "jump", kKeySpace, {0, -1}},
    {Action::View, "view", "seat or free camera", kKeyF6, {3, -1}},
    {Action::FrameTime, "frame_time", "frame time", kKeyF2, {7, -1}},
    {Action::Wireframe, "wireframe", "wireframe", kKeyF3, {1, -1}},
    {Action::Shadows, "shadows", "shadows", kKeyF7, {2, -1}},
    {Action::Mute, "mute", "sound on or off", kKeyM, {-1, -1}},
    {Action::Quit, "quit", "quit", kKeyEscape, {-1, -1}},
    {Action::Help, "help", "this help", kKeyF1, {-1, -1}},
    {Action::CameraForward, "camera_forward", "free camera forward", kKeyUp, {-1, -1}},
    {Action::CameraBack, "camera_back", "free camera back", kKeyDown, {-1, -1}},
    {Action::CameraLeft, "camera_left", "free camera left", kKeyLeft, {-1, -1}},
    {Action::CameraRight, "camera_right", "free camera right", kKeyRight, {-1, -1}},
};

constexpr bool ActionsInOrder() {
  for (int i = 0; i < kActionCount; ++i) {
    if (static_cast<int>(kActions[i].action) != i) return false;
  }
  return true;
}
static_assert(ActionsInOrder(), "row i of the table is action i");
static_assert(static_cast<int>(Action::CameraRight) + 1 == kActionCount, "one row per action");

inline const ActionInfo& InfoOf(Action action) {
  return kActions[static_cast<int>(action)];
}
// The action named `name` (exact, lower case), or -1.
int ActionNamed(const char* name);
// The action whose key the handlers know as `gameKey`, or -1.
int ActionOfGameKey(int gameKey);
