// bindings.h: which physical key does which action, read from the player's options.conf, and
// the edge where a key event becomes the event the game's handlers expect. A key bound to an
// action reaches the handlers as that action's own key, so the handlers (with their press-edge
// and repeat rules) never learn that the player moved anything.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "input/actions.h"
#include "input/key_names.h"
#include "input/player_options.h"
#include "scene/canoe.h"  // KeyCount

constexpr const char* kOptionsFile = "options.conf";
constexpr std::size_t kMaxOptionsBytes = 64 * 1024;  // a bindings file is a few dozen lines
constexpr std::size_t kMaxOptionsLine = 256;

struct Bindings {
  signed char keyAction[KeyCount];             // the action each physical key is bound to, or -1
  signed char padAction[kPadButtonNameCount];  // the same for each pad button
};

// Every action on the key it has always had.
Bindings DefaultBindings();

// The defaults changed by the `action = Key, Key` lines of `text` (see README). Each line the
// bindings cannot use adds one note to `notes`, naming `fileName` and the line; the other lines
// still count.
Bindings ReadBindings(const std::string& text, const std::string& fileName,
                      std::vector<std::string>& notes);

// Everything options.conf holds: the bindings and the player's other options.
struct OptionsFile {
  Bindings bindings;
  PlayerOptions options;
};

// The bindings' lines read as ReadBindings reads them, and the options' `name = value` lines
// beside them; a name that is neither an action nor an option is one note.
OptionsFile ReadOptionsFile(const std::string& text, const std::string& fileName,
                            std::vector<std::string>& notes);

// Whether a pad button can do `action` (those the pad does by default).
bool PadCanDo(int action);

// The physical keys bound to `action`, in key-code order.
std::vector<int> KeysOf(const Bindings& bindings, Action action);

// What the player holds: each physical key and touch control, and how many of them hold
// each action.
struct HeldControls {
  bool key[KeyCount] = {};
  bool touch[kActionCount] = {};
  int count[kActionCount] = {};
};

// The event the handlers are given; key -1 when none is.
struct GameKeyEvent {
  int key = -1;
  int event = 0;
};

// A physical key's press, repeat or release. An action presses on the first of its keys held
// and releases with the last; a key no action has passes through as itself, except an action's
// own key that a binding took away, which reaches nothing.
GameKeyEvent TranslateKey(const Bindings& bindings, HeldControls& held, int key, int event);
// A touch control that holds `action` pressed or let go, counted with the keys.
GameKeyEvent TranslateTouch(HeldControls& held, Action action, bool down);
// Lets go of every key and touch control held; the releases the handlers must see.
std::vector<GameKeyEvent> ReleaseAll(const Bindings& bindings, HeldControls& held);
