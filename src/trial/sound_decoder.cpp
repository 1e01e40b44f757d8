// sound_decoder.cpp: Ogg Vorbis to 16-bit samples with stb_vorbis, from memory only: mono and
// stereo kept as they are, more channels mixed down to mono.
//
// stb_vorbis trusts the stream: the length a file declares, and how many samples its packets
// make, are the file's to choose. So the decoder pulls one frame at a time and stops at the
// caps in limits.h instead of letting the library grow one buffer for the whole stream.
// Compiled into the desktop's trial worker and into the browser's page alike.
#include <algorithm>
#include <cmath>

#include "trial/decoders.h"
#include "trial/limits.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace {

DecodedSound Refused(const char* why) {
  DecodedSound sound;
  sound.error = why;
  return sound;
}

// A damaged stream can decode to anything; clip rather than wrap, and silence a NaN.
std::int16_t Sample(float value) {
  const float v = std::clamp(value, -1.0f, 1.0f);
  return std::isnan(v) ? 0 : static_cast<std::int16_t>(std::lround(v * 32767.0f));
}

// Pulls every frame into `kept` channels (interleaved; one mixes them all down) until the
// stream ends or runs past `most` samples.
bool DecodeFrames(stb_vorbis* vorbis, int kept, std::size_t most,
                  std::vector<std::int16_t>& samples) {
  for (;;) {
    int channels = 0;
    float** frame = nullptr;
    const int count = stb_vorbis_get_frame_float(vorbis, &channels, &frame);
    if (count <= 0) return true;
    if (channels < 1 || channels > kMaxSoundChannels || (kept > 1 && channels != kept) ||
        static_cast<std::size_t>(count) * kept > most - samples.size()) {
      return false;
    }
    for (int i = 0; i < count; ++i) {
      if (kept > 1) {
        for (int c = 0; c < kept; ++c) samples.push_back(Sample(frame[c][i]));
        continue;
      }
      float sum = 0.0f;
      for (int c = 0; c < channels; ++c) sum += frame[c][i];
      samples.push_back(Sample(sum / static_cast<float>(channels)));
    }
  }
}

}  // namespace

DecodedSound DecodeSound(const std::string& bytes) {
  if (bytes.empty()) return Refused("it is empty");
  if (bytes.size() > kMaxSoundFileBytes) return Refused("it is larger than allowed");
  int error = 0;
  stb_vorbis* vorbis = stb_vorbis_open_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              static_cast<int>(bytes.size()), &error, nullptr);
  if (!vorbis) return Refused("it is not an Ogg Vorbis stream");
  const stb_vorbis_info info = stb_vorbis_get_info(vorbis);
  DecodedSound sound;
  const std::size_t declared = stb_vorbis_stream_length_in_samples(vorbis);
  const std::size_t most = static_cast<std::size_t>(kMaxSoundSeconds) * info.sample_rate;
  if (info.channels < 1 || info.channels > kMaxSoundChannels) {
    sound.error = "it has more channels than allowed";
  } else if (info.sample_rate < static_cast<unsigned>(kMinSoundRate) ||
             info.sample_rate > static_cast<unsigned>(kMaxSoundRate)) {
    sound.error = "its sample rate is outside what the game plays";
  } else if (declared > most) {
    sound.error = "it is longer than allowed";
  } else if (declared == 0) {
    // The last page's position is the stream's length: no such page, no whole stream.
    sound.error = "it is cut short or damaged";
  } else {
    const int kept = info.channels == 2 ? 2 : 1;
    const std::size_t wanted = declared * static_cast<std::size_t>(kept);
    sound.samples.reserve(wanted);
    if (!DecodeFrames(vorbis, kept, wanted, sound.samples) || sound.samples.size() != wanted) {
      sound.error = "it is cut short or damaged";
    } else {
      sound.sampleRate = static_cast<int>(info.sample_rate);
      sound.channels = kept;
    }
  }
  stb_vorbis_close(vorbis);
  if (!sound.error.empty()) sound.samples.clear();
  return sound;
}
