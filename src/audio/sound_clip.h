// sound_clip.h: the game's sound files and how one is loaded: read with the safe open, decoded
// (Ogg Vorbis) away from the game like every other run-time file, and handed over as mono
// 16-bit samples ready for the sound device.
#pragma once

#include <cstdint>
#include <vector>

// Every sound the game plays, one file each.
enum class SoundId : std::uint8_t {
  Paddle,    // the blade meets the water
  Squeak,    // a duck is collected
  TakeOff,   // a jump starts
  Splash,    // a jump lands on the water
  Knock,     // a jump lands on the cube or the platform
  Bump,      // the canoe is stopped by a wall or an obstacle
  Tick,      // each whole second of the last ten
  Win,       // every duck collected
  TimeUp,    // the time ran out
  Ambience,  // the hall, looped
  Count
};

constexpr int kSoundCount = static_cast<int>(SoundId::Count);

// The files, by SoundId, relative to the working directory like the other run-time data.
constexpr const char* kSoundPaths[kSoundCount] = {
    "sounds/paddle.ogg", "sounds/squeak.ogg",  "sounds/takeoff.ogg", "sounds/splash.ogg",
    "sounds/knock.ogg",  "sounds/bump.ogg",    "sounds/tick.ogg",    "sounds/win.ogg",
    "sounds/timeup.ogg", "sounds/ambience.ogg"};

// One decoded sound: mono, signed 16-bit samples at `sampleRate`.
struct SoundClip {
  int sampleRate = 0;
  std::vector<std::int16_t> samples;
};

// Loads the sound at `path`. On any failure (missing, too large, not Ogg Vorbis, refused by the
// trial) prints one "ERROR::SOUND:: ..." line, leaves `clip` empty and returns false; the game
// goes on with that sound silent.
bool LoadSoundClip(const char* path, SoundClip& clip);
