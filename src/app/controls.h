// controls.h: the player's keys on the window. The bindings sit in front of the key callback,
// so the mute key and the game's handlers see a bound key as its action's own key; the help
// key shows and hides the panel on the way through. The browser's page hands its keys and
// touch controls in here too, so both builds share one path from a key to the game.
#pragma once

#include "input/bindings.h"
#include "input/help_panel.h"

struct GLFWwindow;
struct Game;
struct PadState;
struct Session;

struct Controls {
  Bindings bindings = DefaultBindings();
  HeldControls held;
  KeyLabels labels;  // the platform's labels for the help panel (none: US names)
};

// Puts `controls` in front of the key callback already set on `window` and lays out the help
// panel. Call after every other key callback is installed.
void InstallControls(GLFWwindow* window, Game& game, Controls& controls);
// One physical key event (GLFW's key code and event word), as the window's callback gets it.
void FeedKey(int key, int event);
// A touch control holding `action` pressed or let go.
void FeedTouch(Action action, bool down);
// Lets go of every key and control held (the page lost the focus).
void ReleaseControls();
// Takes new bindings (held keys are let go first) and lays out the help panel again.
void ChangeBindings(const Bindings& bindings);
// Lays out the help panel again after the platform learnt new key labels.
void RelabelKeys();
// The bindings in use (defaults before InstallControls).
const Bindings& CurrentBindings();
// The bindings the pads should use (the defaults before InstallControls).
const Bindings* PadBindings();
// Whether a key or touch control holds the action the handlers know as `gameKey` (the pads
// must not release what the keyboard still holds).
bool ControlsHold(int gameKey);
// Hands one frame's pad reading (every pad merged) to the game through the bindings, as the
// keys' actions; a pad asking to quit closes the window. The builds read pads through different
// APIs and meet here.
void ApplyPadReading(Session& session, const PadState& pads);
