// sound_clip.cpp: a sound file to samples, through the loaders' gate like models and images:
// the file trial's decoded bytes when the game runs one, else decoded here (tests, tools).
#include "audio/sound_clip.h"

#include <iostream>
#include <string>

#include "trial/decoders.h"
#include "trial/file_trial.h"

bool LoadSoundClip(const char* path, SoundClip& clip) {
  clip = SoundClip{};
  const char* refusal = nullptr;
  const TrialRecord* tried = PassedTrial(path, refusal);
  DecodedSound sound;
  if (tried && !ParseSound(tried->payload, sound)) refusal = "its trial run sent back no sound";
  // A file whose trial run crashed, ran out of memory or hung is never decoded here.
  if (!tried && !refusal) sound = DecodeSoundFile(path);
  std::string reason = refusal ? refusal : sound.error;
  if (reason.empty() && sound.samples.empty()) reason = "it holds no sound";
  if (!reason.empty()) {
    std::cout << "ERROR::SOUND:: Could not load " << path << ": " << reason << std::endl;
    return false;
  }
  clip.sampleRate = sound.sampleRate;
  clip.channels = sound.channels;
  clip.samples = std::move(sound.samples);
  return true;
}
