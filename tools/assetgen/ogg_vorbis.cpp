// ogg_vorbis.cpp: Ogg Vorbis through libvorbisenc, and the read-back check through
// stb_vorbis (the decoder the game uses).
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "sound.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

// A fixed serial number: the Ogg pages carry it and a random one would change every file.
constexpr int kStreamSerial = 0x56656c6c;  // "Vell"

struct Encoder {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  Encoder() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Encoder() {
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
};

bool WritePages(ogg_stream_state& stream, FILE* out, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
    if (std::fwrite(page.header, 1, page.header_len, out) != static_cast<size_t>(page.header_len))
      return false;
    if (std::fwrite(page.body, 1, page.body_len, out) != static_cast<size_t>(page.body_len))
      return false;
  }
  return true;
}

// Drains every finished block into Ogg pages.
bool Drain(Encoder& e, FILE* out) {
  ogg_packet packet;
  while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
    vorbis_analysis(&e.block, nullptr);
    vorbis_bitrate_addblock(&e.block);
    while (vorbis_bitrate_flushpacket(&e.dsp, &packet)) {
      ogg_stream_packetin(&e.stream, &packet);
      if (!WritePages(e.stream, out, false)) return false;
    }
  }
  return true;
}

}  // namespace

bool WriteOggVorbis(const NamedSound& sound, const std::string& path, float quality) {
  std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!out) return false;
  Encoder e;
  if (vorbis_encode_init_vbr(&e.info, sound.channels, sound.rate, quality) != 0) return false;
  // No comment beyond the encoder's own vendor string, which names the library version.
  vorbis_analysis_init(&e.dsp, &e.info);
  vorbis_block_init(&e.dsp, &e.block);
  ogg_stream_init(&e.stream, kStreamSerial);

  ogg_packet id, comments, codebooks;
  vorbis_analysis_headerout(&e.dsp, &e.comment, &id, &comments, &codebooks);
  ogg_stream_packetin(&e.stream, &id);
  ogg_stream_packetin(&e.stream, &comments);
  ogg_stream_packetin(&e.stream, &codebooks);
  // The headers end their own page, as decoders expect the audio to start on a fresh one.
  if (!WritePages(e.stream, out.get(), true)) return false;

  constexpr size_t kChunk = 1024;
  const size_t channels = static_cast<size_t>(sound.channels);
  const size_t frames = sound.samples.size() / channels;
  for (size_t at = 0; at < frames; at += kChunk) {
    const size_t n = std::min(kChunk, frames - at);
    float** buffer = vorbis_analysis_buffer(&e.dsp, static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) {
      for (size_t c = 0; c < channels; ++c) buffer[c][i] = sound.samples[(at + i) * channels + c];
    }
    vorbis_analysis_wrote(&e.dsp, static_cast<int>(n));
    if (!Drain(e, out.get())) return false;
  }
  vorbis_analysis_wrote(&e.dsp, 0);  // end of stream
  if (!Drain(e, out.get()) || !WritePages(e.stream, out.get(), true)) return false;
  return std::fflush(out.get()) == 0;
}

bool ReadBackOggVorbis(const std::string& path, const NamedSound& sound) {
  int error = 0;
  stb_vorbis* v = stb_vorbis_open_filename(path.c_str(), &error, nullptr);
  if (!v) return false;
  const stb_vorbis_info info = stb_vorbis_get_info(v);
  const unsigned length = stb_vorbis_stream_length_in_samples(v);
  stb_vorbis_close(v);
  return info.channels == sound.channels && static_cast<int>(info.sample_rate) == sound.rate &&
         length == sound.samples.size() / static_cast<size_t>(sound.channels);
}
