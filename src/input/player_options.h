// player_options.h: the settings the player keeps in options.conf beside the key bindings: the
// three volumes and the HUD's size and outline. Every option's default leaves the game as it
// always was.
#pragma once

#include <string>

constexpr int kMaxVolume = 100;       // a volume is 0 to 100, a gain of value / 100
constexpr float kMaxHudScale = 2.0f;  // the HUD's text at most twice its size

struct PlayerOptions {
  int volume = kMaxVolume;          // everything
  int effectsVolume = kMaxVolume;   // the one-shot sounds
  int ambienceVolume = kMaxVolume;  // the hall's looped ambience
  float hudScale = 1.0f;            // 1 to kMaxHudScale
  bool hudScaleSet = false;         // the player named one (the page then keeps it)
  bool hudOutline = false;          // a dark rim round every glyph
};

// Whether `name` is one of the options above.
bool IsOptionName(const std::string& name);
// Sets option `name` from `value`. A value out of range is clamped, one that is no value at all
// leaves the option as it was; either way `note` says so (empty when the value was fine).
void SetOption(PlayerOptions& options, const std::string& name, const std::string& value,
               std::string& note);
// A volume as the gain the sound device is given.
inline float VolumeGain(int volume) {
  return static_cast<float>(volume) / kMaxVolume;
}
