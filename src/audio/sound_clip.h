// sound_clip.h: the game's sound files and how one is loaded: read with the safe open, decoded
// (Ogg Vorbis) away from the game like every other run-time file, and handed over as 16-bit
// samples, mono or stereo, ready for the sound device.
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
  Ambience,  // the hall, looped (stereo)
  Count
};

constexpr int kSoundCount = static_cast<int>(SoundId::Count);

// The files, each beside the SoundId it plays, relative to the working directory like the other
// run-time data. A sound added to SoundId without its row, or a row out of place, fails to compile.
struct SoundFile {
  SoundId id;
  const char* path;
};
constexpr SoundFile kSoundFiles[] = {
    {SoundId::Paddle, "sounds/paddle.ogg"},   {SoundId::Squeak, "sounds/squeak.ogg"},
    {SoundId::TakeOff, "sounds/takeoff.ogg"}, {SoundId::Splash, "sounds/splash.ogg"},
    {SoundId::Knock, "sounds/knock.ogg"},     {SoundId::Bump, "sounds/bump.ogg"},
    {SoundId::Tick, "sounds/tick.ogg"},       {SoundId::Win, "sounds/win.ogg"},
    {SoundId::TimeUp, "sounds/timeup.ogg"},   {SoundId::Ambience, "sounds/ambience.ogg"}};

// Whether a table keyed by SoundId has one row per sound, each at its sound's place.
template <typename Row, int N>
constexpr bool OneRowPerSound(const Row (&rows)[N]) {
  for (int i = 0; i < N; ++i) {
    if (static_cast<int>(rows[i].id) != i) return false;
  }
  return N == kSoundCount;
}
static_assert(OneRowPerSound(kSoundFiles), "kSoundFiles needs one row per SoundId, in order");

// One decoded sound: signed 16-bit samples at `sampleRate`, stereo ones interleaved.
struct SoundClip {
  int sampleRate = 0;
  int channels = 1;
  std::vector<std::int16_t> samples;
};

// Loads the sound at `path`. On any failure (missing, too large, not Ogg Vorbis, refused by the
// trial) prints one "ERROR::SOUND:: ..." line, leaves `clip` empty and returns false; the game
// goes on with that sound silent.
bool LoadSoundClip(const char* path, SoundClip& clip);
