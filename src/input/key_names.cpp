// key_names.cpp: the table of nameable keys and its look-ups.
#include "input/key_names.h"

#include <cctype>
#include <cstring>
#include <string>

// Codes as GLFW numbers the keys (printable keys are their US characters in ASCII).
const KeyName kKeyNames[] = {
    {"A", "KeyA", 65},
    {"B", "KeyB", 66},
    {"C", "KeyC", 67},
    {"D", "KeyD", 68},
    {"E", "KeyE", 69},
    {"F", "KeyF", 70},
    {"G", "KeyG", 71},
    {"H", "KeyH", 72},
    {"I", "KeyI", 73},
    {"J", "KeyJ", 74},
    {"K", "KeyK", 75},
    {"L", "KeyL", 76},
    {"M", "KeyM", 77},
    {"N", "KeyN", 78},
    {"O", "KeyO", 79},
    {"P", "KeyP", 80},
    {"Q", "KeyQ", 81},
    {"R", "KeyR", 82},
    {"S", "KeyS", 83},
    {"T", "KeyT", 84},
    {"U", "KeyU", 85},
    {"V", "KeyV", 86},
    {"W", "KeyW", 87},
    {"X", "KeyX", 88},
    {"Y", "KeyY", 89},
    {"Z", "KeyZ", 90},
    {"0", "Digit0", 48},
    {"1", "Digit1", 49},
    {"2", "Digit2", 50},
    {"3", "Digit3", 51},
    {"4", "Digit4", 52},
    {"5", "Digit5", 53},
    {"6", "Digit6", 54},
    {"7", "Digit7", 55},
    {"8", "Digit8", 56},
    {"9", "Digit9", 57},
    {"Space", "Space", 32},
    {"Apostrophe", "Quote", 39},
    {"Comma", "Comma", 44},
    {"Minus", "Minus", 45},
    {"Period", "Period", 46},
    {"Slash", "Slash", 47},
    {"Semicolon", "Semicolon", 59},
    {"Equal", "Equal", 61},
    {"Left Bracket", "BracketLeft", 91},
    {"Backslash", "Backslash", 92},
    {"Right Bracket", "BracketRight", 93},
    {"Grave", "Backquote", 96},
    {"Escape", "Escape", 256},
    {"Enter", "Enter", 257},
    {"Tab", "Tab", 258},
    {"Backspace", "Backspace", 259},
    {"Insert", "Insert", 260},
    {"Delete", "Delete", 261},
    {"Right", "ArrowRight", 262},
    {"Left", "ArrowLeft", 263},
    {"Down", "ArrowDown", 264},
    {"Up", "ArrowUp", 265},
    {"Page Up", "PageUp", 266},
    {"Page Down", "PageDown", 267},
    {"Home", "Home", 268},
    {"End", "End", 269},
    {"Caps Lock", "CapsLock", 280},
    {"F1", "F1", 290},
    {"F2", "F2", 291},
    {"F3", "F3", 292},
    {"F4", "F4", 293},
    {"F5", "F5", 294},
    {"F6", "F6", 295},
    {"F7", "F7", 296},
    {"F8", "F8", 297},
    {"F9", "F9", 298},
    {"F10", "F10", 299},
    {"F11", "F11", 300},
    {"F12", "F12", 301},
    {"Keypad 0", "Numpad0", 320},
    {"Keypad 1", "Numpad1", 321},
    {"Keypad 2", "Numpad2", 322},
    {"Keypad 3", "Numpad3", 323},
    {"Keypad 4", "Numpad4", 324},
    {"Keypad 5", "Numpad5", 325},
    {"Keypad 6", "Numpad6", 326},
    {"Keypad 7", "Numpad7", 327},
    {"Keypad 8", "Numpad8", 328},
    {"Keypad 9", "Numpad9", 329},
    {"Keypad Decimal", "NumpadDecimal", 330},
    {"Keypad Divide", "NumpadDivide", 331},
    {"Keypad Multiply", "NumpadMultiply", 332},
    {"Keypad Subtract", "NumpadSubtract", 333},
    {"Keypad Add", "NumpadAdd", 334},
    {"Keypad Enter", "NumpadEnter", 335},
    {"Left Shift", "ShiftLeft", 340},
    {"Left Ctrl", "ControlLeft", 341},
    {"Left Alt", "AltLeft", 342},
    {"Right Shift", "ShiftRight", 344},
    {"Right Ctrl", "ControlRight", 345},
    {"Right Alt", "AltRight", 346},
};
static_assert(sizeof(kKeyNames) / sizeof(kKeyNames[0]) == kKeyNameCount, "every row counted");

namespace {

// Lower case with runs of blanks made one and the ends trimmed, so "Left  shift" matches.
std::string Folded(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (std::isspace(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += static_cast<char>(std::tolower(c));
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

int KeyFromName(const char* name) {
  const std::string wanted = Folded(name);
  for (const KeyName& row : kKeyNames) {
    if (Folded(row.name) == wanted) return row.key;
  }
  return -1;
}

const char* const kPadButtonNames[kPadButtonNameCount] = {
    "Pad A",           "Pad B",  "Pad X",     "Pad Y",     "Pad LB",
    "Pad RB",          nullptr,  "Pad Start", "Pad Guide", "Pad Left Stick",
    "Pad Right Stick", "Pad Up", "Pad Right", "Pad Down",  "Pad Left"};

int PadButtonFromName(const char* name) {
  const std::string wanted = Folded(name);
  for (int i = 0; i < kPadButtonNameCount; ++i) {
    if (kPadButtonNames[i] && Folded(kPadButtonNames[i]) == wanted) return i;
  }
  return -1;
}

int KeyFromDomCode(const char* domCode) {
  for (const KeyName& row : kKeyNames) {
    if (std::strcmp(row.domCode, domCode) == 0) return row.key;
  }
  return -1;
}

const char* NameOfKey(int key) {
  for (const KeyName& row : kKeyNames) {
    if (row.key == key) return row.name;
  }
  return nullptr;
}
