// sound.h: the game's sounds, synthesised from noise, filters, envelopes and FM (nothing
// recorded), and their encoding as mono Ogg Vorbis through Debian's libvorbisenc.
//
// Everything is deterministic: noise comes from fixed seeds and the Ogg stream has a fixed
// serial number, so a regeneration writes the same bytes.
#pragma once

#include <string>
#include <vector>

constexpr int kSoundRate = 22050;  // every sound's sample rate (mono)

struct NamedSound {
  std::string path;            // relative to the output root, e.g. "sounds/squeak.ogg"
  std::vector<float> samples;  // mono, -1..1, at kSoundRate
  bool loop = false;           // played as a seamless loop
};

// The ten sounds, in the game's SoundId order.
std::vector<NamedSound> MakeSounds();

// Encodes `samples` as Ogg Vorbis (VBR at `quality`, -0.1..1) into `path`. False on failure.
bool WriteOggVorbis(const std::vector<float>& samples, int rate, const std::string& path,
                    float quality = 0.3f);
// Decodes `path` back: false when it is not a one-channel file at `rate` of `frames` samples.
bool ReadBackOggVorbis(const std::string& path, int rate, size_t frames);
