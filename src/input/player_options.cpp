// player_options.cpp: the options' values, checked and clamped one line at a time.
#include "input/player_options.h"

#include <cstdlib>

namespace {

// The number a whole value spells, or false when it is not one.
bool Number(const std::string& value, double& number) {
  if (value.empty()) return false;
  char* end = nullptr;
  number = std::strtod(value.c_str(), &end);
  return end == value.c_str() + value.size() && number == number;  // NaN is no number
}

int* VolumeOf(PlayerOptions& options, const std::string& name) {
  if (name == "volume") return &options.volume;
  if (name == "effects_volume") return &options.effectsVolume;
  if (name == "ambience_volume") return &options.ambienceVolume;
  return nullptr;
}

}  // namespace

bool IsOptionName(const std::string& name) {
  PlayerOptions options;
  return VolumeOf(options, name) || name == "hud_scale" || name == "hud_outline";
}

void SetOption(PlayerOptions& options, const std::string& name, const std::string& value,
               std::string& note) {
  note.clear();
  double number = 0.0;
  if (name == "hud_outline") {
    if (value == "on" || value == "off") {
      options.hudOutline = value == "on";
    } else {
      note = "hud_outline is on or off, not \"" + value + "\"";
    }
    return;
  }
  if (!Number(value, number)) {
    note = name + " needs a number, not \"" + value + "\"";
    return;
  }
  if (int* volume = VolumeOf(options, name)) {
    const double clamped = number < 0.0 ? 0.0 : number > kMaxVolume ? kMaxVolume : number;
    if (clamped != number)
      note = name + " is 0 to 100; " + value + " taken as " +
             std::to_string(static_cast<int>(clamped));
    *volume = static_cast<int>(clamped + 0.5);
    return;
  }
  const double clamped = number < 1.0 ? 1.0 : number > kMaxHudScale ? kMaxHudScale : number;
  if (clamped != number)
    note =
        "hud_scale is 1 to 2; " + value + " taken as " + std::to_string(static_cast<int>(clamped));
  options.hudScale = static_cast<float>(clamped);
  options.hudScaleSet = true;
}
