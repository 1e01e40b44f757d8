// key_names.h: the keys a player can name, each by what a US keyboard prints on it, by the
// browser's name for the same physical key (KeyboardEvent.code) and by the game's key code for
// it. One table serves options.conf, the help panel and the page, so a key is named the same
// everywhere and lands on the same physical key on every layout.
#pragma once

struct KeyName {
  const char* name;     // "W", "Left Shift", "F1"
  const char* domCode;  // "KeyW", "ShiftLeft", "F1"
  int key;              // the game's (GLFW's) code for the key in that position
};
constexpr int kKeyNameCount = 97;
extern const KeyName kKeyNames[kKeyNameCount];

// The key whose US name is `name`, ignoring case and extra blanks ("left  shift"), or -1.
int KeyFromName(const char* name);
// The key the browser calls `domCode`, or -1.
int KeyFromDomCode(const char* domCode);
// The US name of `key`, or null for a key outside the table.
const char* NameOfKey(int key);

// The pad's buttons by name, in the usual gamepad layout's order (GLFW's); Back has no name,
// as holding it quits and it is not the player's to move.
constexpr int kPadButtonNameCount = 15;
extern const char* const kPadButtonNames[kPadButtonNameCount];
// The button called `name` ("Pad A", any case), or -1.
int PadButtonFromName(const char* name);
