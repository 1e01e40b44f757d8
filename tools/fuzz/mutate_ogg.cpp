// mutate_ogg.cpp: edits that know Ogg Vorbis. Each edit keeps the pages' checksums right, so
// the decoder is reached with a well-formed stream that lies: about its length (granule
// positions), its channels, rate and block sizes, its codebooks, its page sizes, or that holds
// far more audio than it says.
#include <cstdint>
#include <vector>

#include "mutate.h"

namespace {

struct OggPage {
  std::size_t at;    // where "OggS" starts
  std::size_t size;  // header, lacing values and body
};

std::vector<OggPage> OggPages(const std::string& data) {
  std::vector<OggPage> pages;
  std::size_t at = 0;
  while (at + 27 <= data.size() && data.compare(at, 4, "OggS") == 0) {
    const std::size_t segments = static_cast<unsigned char>(data[at + 26]);
    if (at + 27 + segments > data.size()) break;
    std::size_t size = 27 + segments;
    for (std::size_t s = 0; s < segments; ++s)
      size += static_cast<unsigned char>(data[at + 27 + s]);
    if (at + size > data.size()) break;
    pages.push_back({at, size});
    at += size;
  }
  return pages;
}

// The Ogg checksum (CRC-32, polynomial 0x04c11db7, no reflection) of a page, stored in it.
void FixCrc(std::string& data, const OggPage& page) {
  for (int i = 0; i < 4; ++i) data[page.at + 22 + i] = 0;
  std::uint32_t crc = 0;
  for (std::size_t i = page.at; i < page.at + page.size; ++i) {
    crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc << 1) ^ ((crc & 0x80000000u) ? 0x04c11db7u : 0u);
  }
  for (int i = 0; i < 4; ++i) data[page.at + 22 + i] = static_cast<char>(crc >> (8 * i));
}

void PutLittle(std::string& data, std::size_t at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes && at + i < data.size(); ++i) {
    data[at + i] = static_cast<char>(value >> (8 * i));
  }
}

}  // namespace

void OggEdit(std::string& data, FuzzRng& rng) {
  const std::vector<OggPage> pages = OggPages(data);
  if (pages.size() < 3) {
    if (!data.empty()) data[rng.Below(data.size())] ^= static_cast<char>(1u << rng.Below(8));
    return;
  }
  const OggPage& page = pages[rng.Below(pages.size())];
  const std::size_t body = page.at + 27 + static_cast<unsigned char>(data[page.at + 26]);
  switch (rng.Below(6)) {
    case 0: {  // a granule position: the length the stream declares
      const std::uint64_t values[] = {
          0, 1, 100, 0x7FFFFFFFull, 0xFFFFFFFFull, ~0ull, rng.Next() % 100000000};
      PutLittle(data, page.at + 6, values[rng.Below(7)], 8);
      break;
    }
    case 1: {  // the identification header: channels, rate, block sizes
      const std::size_t id = pages[0].at + 27 + static_cast<unsigned char>(data[pages[0].at + 26]);
      const std::size_t field = rng.Below(3);
      if (field == 0) {
        const unsigned channels[] = {0, 2, 8, 9, 16, 17, 255};
        PutLittle(data, id + 11, channels[rng.Below(7)], 1);
      } else if (field == 1) {
        const std::uint64_t rates[] = {0, 1, 7999, 96001, 0x7FFFFFFF, 0xFFFFFFFF};
        PutLittle(data, id + 12, rates[rng.Below(6)], 4);
      } else {
        PutLittle(data, id + 28, rng.Next(), 1);  // both block size exponents
      }
      FixCrc(data, pages[0]);
      return;
    }
    case 2:  // bits inside a page's packets: codebooks in the setup header, audio after it
      for (int i = 0, n = 1 + static_cast<int>(rng.Below(8)); i < n; ++i) {
        const std::size_t at = body + rng.Below(page.at + page.size - body);
        data[at] ^= static_cast<char>(1u << rng.Below(8));
      }
      break;
    case 3:  // a lacing value that lies about a packet's size (the page size changes with it)
      if (body > page.at + 27) {
        data[page.at + 27 + rng.Below(body - page.at - 27)] = static_cast<char>(rng.Next());
      }
      break;
    case 4: {  // the audio pages repeated: far more samples than the last page declares
      std::string audio;
      for (std::size_t p = 2; p < pages.size(); ++p)
        audio += data.substr(pages[p].at, pages[p].size);
      for (std::size_t i = 0, n = 1 + rng.Below(64); i < n && data.size() < (4u << 20); ++i) {
        data.insert(pages.back().at, audio);
      }
      return;
    }
    default:  // the stream cut inside a page
      data.resize(page.at + rng.Below(page.size));
      return;
  }
  // The checksum is recomputed over what the page now holds, as far as the bytes reach.
  const std::vector<OggPage> now = OggPages(data);
  for (const OggPage& p : now) {
    if (p.at == page.at) FixCrc(data, p);
  }
}
