// sound.h: the game's sounds, synthesised from noise, filters, envelopes and FM (nothing
// recorded), set to their loudness, and their encoding as Ogg Vorbis through Debian's
// libvorbisenc.
//
// Everything is deterministic: noise comes from fixed seeds and the Ogg stream has a fixed
// serial number, so a regeneration writes the same bytes.
#pragma once

#include <string>
#include <vector>

struct NamedSound {
  std::string path;            // relative to the output root, e.g. "sounds/squeak.ogg"
  std::vector<float> samples;  // -1..1, channels interleaved
  int rate = 22050;
  int channels = 1;
  bool loop = false;     // played as a seamless loop
  double lufs = -200.0;  // what the file measures: momentary max, integrated for a loop
};

// The ten sounds, in the game's SoundId order.
std::vector<NamedSound> MakeSounds();

// Encodes the sound as Ogg Vorbis (VBR at `quality`, -0.1..1) into `path`. False on failure.
bool WriteOggVorbis(const NamedSound& sound, const std::string& path, float quality = 0.3f);
// Decodes `path` back: false when it does not hold the sound's channels, rate and length.
bool ReadBackOggVorbis(const std::string& path, const NamedSound& sound);
