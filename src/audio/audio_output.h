// audio_output.h: the sound device and what plays on it: one buffer per sound, a small fixed
// pool of voices made at start-up, the looped ambience, the listener and, where the device
// offers it, the hall's reverb. No device is no fault: every call then does nothing and the
// game runs silent. OpenAL mixes on its own thread; nothing here waits for it.
#pragma once

#include "audio/sound_events.h"

// Voices for one-shot sounds: enough for a stroke, a jump, ticks and a few ducks at once.
constexpr int kVoiceCount = 12;

struct AudioOutput {
  void* device = nullptr;   // ALCdevice*; null when silent
  void* context = nullptr;  // ALCcontext*
  unsigned buffers[kSoundCount] = {};
  bool loaded[kSoundCount] = {};  // a sound whose file failed to load stays silent
  unsigned voices[kVoiceCount] = {};
  int nextVoice = 0;
  unsigned ambience = 0;
  double ambienceStart = -1.0;  // steady-clock seconds when it began fading in
  unsigned reverbSlot = 0;      // 0 without EFX: every sound dry
  unsigned reverbEffect = 0;
  bool muted = false;
  float volumeGain = 1.0f;  // the player's volumes as gains: everything, one-shots, ambience
  float effectsGain = 1.0f;
  float ambienceGain = 1.0f;
  bool deviceTried = false;  // OpenAudioDevice ran (a silent output stays silent)
};

// The ambience fades in over this many seconds from the first frame.
constexpr double kAmbienceFadeIn = 3.0;

// Opens the device and its context. Returns false, with one short note on standard error, when
// none could be had; the output then stays silent.
bool OpenAudioDevice(AudioOutput& audio);
// Loads the clips (the file trial must still be installed), then opens the device unless
// OpenAudioDevice already did, and starts the ambience. Returns false, with at most one short
// note on standard error, when no device could be opened; the output then stays silent.
bool StartAudio(AudioOutput& audio);
// Places the listener and starts the frame's sounds, each on a free voice (the oldest when all
// are busy).
void PlaySoundEvents(AudioOutput& audio, const SoundEvents& events, const Listener& listener);
// Silences everything, the ambience and the hall's echo included, or restores it. Only gains
// change, which the device ramps, so neither way clicks.
void ToggleMute(AudioOutput& audio);
// The player's volumes as gains 0 to 1, at once: everything (the listener, which M still
// silences), the one-shot sounds and the ambience.
void SetVolumes(AudioOutput& audio, float all, float effects, float ambience);
// Holds the ambience where it is while the game waits (a hidden page), or lets it go on.
void PauseAmbience(AudioOutput& audio, bool paused);
bool AnyVoicePlaying(const AudioOutput& audio);  // a one-shot sound is still sounding
// Stops every sound, the ambience included, and leaves the device open (a page that ended).
void SilenceAudio(AudioOutput& audio);
// Stops every sound, frees the sources and buffers, closes the device.
void StopAudio(AudioOutput& audio);
