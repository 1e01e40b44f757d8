// mutate.cpp: the mutations. Each case applies one to three edits; about a third of them are
// plain byte edits, the rest know the format.
#include "mutate.h"

#include <cstring>
#include <vector>

namespace {

// Numbers that break size arithmetic: zero, off-by-one, sign flips and the integer limits.
const char* const kHostileNumbers[] = {"0",          "1",          "2",          "3",
                                       "7",          "-1",         "255",        "256",
                                       "65535",      "65536",      "1000000",    "100000000",
                                       "2147483647", "2147483648", "4294967295", "99999999999"};

std::string HostileNumber(FuzzRng& rng) {
  return kHostileNumbers[rng.Below(sizeof kHostileNumbers / sizeof kHostileNumbers[0])];
}

// ---- byte edits --------------------------------------------------------------------------

void ByteEdit(std::string& data, FuzzRng& rng) {
  if (data.empty()) data = "x";
  const std::size_t at = rng.Below(data.size());
  switch (rng.Below(6)) {
    case 0:  // flip a few bits
      for (int i = 0, n = 1 + static_cast<int>(rng.Below(8)); i < n; ++i) {
        data[rng.Below(data.size())] ^= static_cast<char>(1u << rng.Below(8));
      }
      break;
    case 1:  // overwrite a byte with an extreme value
      data[at] = static_cast<char>(rng.OneIn(2) ? 0xFF : 0x00);
      break;
    case 2:  // insert random bytes
      data.insert(at, std::string(1 + rng.Below(64), static_cast<char>(rng.Next())));
      break;
    case 3:  // cut a run
      data.erase(at, 1 + rng.Below(256));
      break;
    case 4:  // truncate
      data.resize(at);
      break;
    default:  // duplicate a run somewhere else
      data.insert(rng.Below(data.size()), data.substr(at, 1 + rng.Below(512)));
      break;
  }
}

// ---- COLLADA -----------------------------------------------------------------------------

// Positions of every occurrence of `needle`.
std::vector<std::size_t> FindAll(const std::string& text, const std::string& needle) {
  std::vector<std::size_t> found;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + 1)) {
    found.push_back(at);
  }
  return found;
}

// Sets attribute `name` inside a randomly chosen `<tag ...>` to `value`.
void SetAttribute(std::string& text, const std::string& tag, const std::string& name,
                  const std::string& value, FuzzRng& rng) {
  const std::vector<std::size_t> tags = FindAll(text, "<" + tag + " ");
  if (tags.empty()) return;
  const std::size_t start = tags[rng.Below(tags.size())];
  const std::size_t end = text.find('>', start);
  const std::size_t attr = text.find(" " + name + "=\"", start);
  if (attr == std::string::npos || attr > end) return;
  const std::size_t valueStart = attr + name.size() + 3;
  const std::size_t valueEnd = text.find('"', valueStart);
  text.replace(valueStart, valueEnd - valueStart, value);
}

// Replaces some numbers of a random element's text (a <p>, <vcount> or <float_array>).
void EditNumberList(std::string& text, const std::string& tag, FuzzRng& rng) {
  const std::vector<std::size_t> tags = FindAll(text, "<" + tag);
  if (tags.empty()) return;
  const std::size_t open = text.find('>', tags[rng.Below(tags.size())]);
  const std::size_t close = text.find('<', open);
  if (open == std::string::npos || close == std::string::npos) return;
  std::string list = text.substr(open + 1, close - open - 1);
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] != ' ' && (i == 0 || list[i - 1] == ' ')) starts.push_back(i);
  }
  if (starts.empty()) return;
  for (int n = 0, count = 1 + static_cast<int>(rng.Below(4)); n < count; ++n) {
    const std::size_t at = starts[rng.Below(starts.size())];
    std::size_t end = list.find(' ', at);
    if (end == std::string::npos) end = list.size();
    list.replace(at, end - at, HostileNumber(rng));
    starts.clear();
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (list[i] != ' ' && (i == 0 || list[i - 1] == ' ')) starts.push_back(i);
    }
  }
  if (rng.OneIn(4)) list.resize(rng.Below(list.size() + 1));  // a list shorter than its count
  text.replace(open + 1, close - open - 1, list);
}

void RenameTag(std::string& text, const std::string& from, const std::string& to) {
  for (const std::string& prefix : {std::string("<"), std::string("</")}) {
    for (std::size_t at = text.find(prefix + from); at != std::string::npos;
         at = text.find(prefix + from, at + 1)) {
      text.replace(at + prefix.size(), from.size(), to);
    }
  }
}

void RemoveElement(std::string& text, const std::string& tag) {
  const std::size_t start = text.find("<" + tag);
  if (start == std::string::npos) return;
  const std::size_t end = text.find("</" + tag + ">", start);
  if (end == std::string::npos) return;
  text.erase(start, end + tag.size() + 3 - start);
}

// Wraps the first node's content in `depth` further nodes.
void NestNodes(std::string& text, std::size_t depth) {
  const std::size_t node = text.find("<node ");
  if (node == std::string::npos) return;
  const std::size_t open = text.find('>', node);
  const std::size_t close = text.find("</node>", open);
  if (open == std::string::npos || close == std::string::npos) return;
  std::string opens, closes;
  for (std::size_t i = 0; i < depth; ++i) {
    opens += "<node id=\"n" + std::to_string(i) + "\">";
    closes += "</node>";
  }
  text.insert(close, closes);
  text.insert(open + 1, opens);
}

// Siblings of the first node, each instancing the same mesh.
void RepeatNodes(std::string& text, std::size_t copies) {
  const std::size_t node = text.find("<node ");
  const std::size_t end = text.find("</node>", node);
  if (node == std::string::npos || end == std::string::npos) return;
  const std::string block = text.substr(node, end + 7 - node);
  std::string repeated;
  for (std::size_t i = 0; i < copies; ++i) repeated += block;
  text.insert(end + 7, repeated);
}

// A material's texture file named as a path that blocks, never ends or leaves the model's
// folder.
void HostileTextureName(std::string& text, FuzzRng& rng) {
  const char* kNames[] = {
      "../../../../../../etc/hostname", "/dev/zero", "/dev/ptmx", "/proc/self/mem",
      "../../textures/ground.jpg",      "."};
  const std::size_t name = text.find(".jpg</init_from>");
  const std::size_t start = text.rfind("<init_from>", name);
  if (name == std::string::npos || start == std::string::npos) return;
  text.replace(start + 11, name + 4 - start - 11, kNames[rng.Below(6)]);
}

void ColladaEdit(std::string& text, FuzzRng& rng) {
  // Attributes whose numbers size or place the arrays the importer walks.
  const std::pair<const char*, const char*> kSizeAttributes[] = {
      {"accessor", "count"},    {"accessor", "stride"}, {"accessor", "offset"}, {"input", "offset"},
      {"float_array", "count"}, {"polylist", "count"},  {"input", "set"}};
  const std::size_t choice = rng.Below(13);
  if (choice < 6 || choice == 10) {
    const auto& [tag, attribute] = kSizeAttributes[choice < 6 ? choice : 6];
    const std::string number = HostileNumber(rng);
    SetAttribute(text, tag, attribute, number, rng);
    return;
  }
  switch (choice) {
    case 6:
      EditNumberList(text, "p", rng);
      break;
    case 7:
      EditNumberList(text, rng.OneIn(2) ? "vcount" : "float_array", rng);
      break;
    case 8:
      if (rng.OneIn(2)) {
        RenameTag(text, "polylist", rng.OneIn(2) ? "polygons" : "triangles");
      } else {
        RemoveElement(text, "vcount");
      }
      break;
    case 11:
      HostileTextureName(text, rng);
      break;
    case 12:
      RepeatNodes(text, 500 + rng.Below(40000));
      break;
    default:
      NestNodes(text, rng.OneIn(3) ? 100 + rng.Below(900) : 10000 + rng.Below(40000));
      break;
  }
}

// ---- JPEG --------------------------------------------------------------------------------

// Offset of the payload of a random marker segment of type `marker`, or npos.
std::size_t FindSegment(const std::string& data, unsigned char marker, FuzzRng& rng) {
  std::vector<std::size_t> found;
  for (std::size_t i = 2; i + 4 < data.size();) {
    if (static_cast<unsigned char>(data[i]) != 0xFF) break;
    const unsigned char type = static_cast<unsigned char>(data[i + 1]);
    const std::size_t length =
        (static_cast<unsigned char>(data[i + 2]) << 8) | static_cast<unsigned char>(data[i + 3]);
    if (type == marker) found.push_back(i + 4);
    if (type == 0xDA) break;  // entropy-coded data follows
    i += 2 + length;
  }
  return found.empty() ? std::string::npos : found[rng.Below(found.size())];
}

void SetU16(std::string& data, std::size_t at, unsigned value) {
  if (at + 1 >= data.size()) return;
  data[at] = static_cast<char>(value >> 8);
  data[at + 1] = static_cast<char>(value & 0xFF);
}

void JpegEdit(std::string& data, FuzzRng& rng) {
  const unsigned sizes[] = {0, 1, 2, 3, 8, 17, 255, 4096, 30000, 65535};
  switch (rng.Below(5)) {
    case 0: {  // Huffman table: code counts that sum past the 256 a table can hold
      const std::size_t dht = FindSegment(data, 0xC4, rng);
      if (dht == std::string::npos || dht + 17 >= data.size()) return;
      // Any table class and slot; the last slots sit at the end of the decoder's tables.
      data[dht] = static_cast<char>((rng.OneIn(2) ? 0x10 : 0x00) | rng.Below(4));
      for (int i = 1; i <= 16; ++i) {
        data[dht + i] = static_cast<char>(rng.OneIn(2) ? 17 + rng.Below(239) : rng.Below(17));
      }
      break;
    }
    case 1: {  // frame size and component count
      const std::size_t sof = FindSegment(data, 0xC0, rng);
      if (sof == std::string::npos) return;
      SetU16(data, sof + 1 + 2 * rng.Below(2), sizes[rng.Below(10)]);
      if (rng.OneIn(3) && sof + 5 < data.size()) data[sof + 5] = static_cast<char>(rng.Below(6));
      if (rng.OneIn(4) && sof < data.size()) data[sof] = static_cast<char>(rng.Below(17));
      break;
    }
    case 2: {  // component sampling factors and table selectors
      const std::size_t sof = FindSegment(data, 0xC0, rng);
      const std::size_t at = sof + 7 + rng.Below(6);
      if (sof == std::string::npos || at >= data.size()) return;
      data[at] = static_cast<char>(rng.Next());
      break;
    }
    case 3: {  // quantisation table or scan header
      const std::size_t at = FindSegment(data, rng.OneIn(2) ? 0xDB : 0xDA, rng);
      if (at == std::string::npos || at + 4 >= data.size()) return;
      data[at + rng.Below(4)] = static_cast<char>(rng.Next());
      break;
    }
    default: {  // a segment length that lies
      const std::size_t at = FindSegment(data, rng.OneIn(2) ? 0xC4 : 0xDB, rng);
      if (at == std::string::npos) return;
      SetU16(data, at - 2, sizes[rng.Below(10)]);
      break;
    }
  }
}

// ---- PNG ---------------------------------------------------------------------------------

std::uint32_t Crc32(const char* bytes, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct PngChunk {
  std::size_t start;  // the length field
  std::uint32_t length;
  std::string type;
};

std::vector<PngChunk> PngChunks(const std::string& data) {
  std::vector<PngChunk> chunks;
  for (std::size_t at = 8; at + 12 <= data.size();) {
    const auto* b = reinterpret_cast<const unsigned char*>(data.data() + at);
    const std::uint32_t length = (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    if (length > data.size() - at - 12) break;
    chunks.push_back({at, length, data.substr(at + 4, 4)});
    at += 12 + length;
  }
  return chunks;
}

// Rewrites a chunk's CRC, so the edit reaches the decoder instead of a checksum test.
void FixCrc(std::string& data, const PngChunk& chunk) {
  const std::uint32_t crc = Crc32(data.data() + chunk.start + 4, chunk.length + 4);
  const std::size_t at = chunk.start + 8 + chunk.length;
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>(crc >> (24 - 8 * i));
}

void PngEdit(std::string& data, FuzzRng& rng) {
  std::vector<PngChunk> chunks = PngChunks(data);
  if (chunks.empty()) return ByteEdit(data, rng);
  const PngChunk& header = chunks.front();
  std::vector<PngChunk> idats;
  for (const PngChunk& chunk : chunks) {
    if (chunk.type == "IDAT") idats.push_back(chunk);
  }
  switch (rng.Below(4)) {
    case 0: {  // header: size, bit depth, colour type, interlace
      const unsigned values[] = {0, 1, 2, 3, 4, 6, 8, 16, 255};
      const std::size_t field = header.start + 8 + rng.Below(13);
      if (field - header.start - 8 < 8) {
        data[field] = static_cast<char>(rng.OneIn(2) ? 0xFF : rng.Next());
      } else {
        data[field] = static_cast<char>(values[rng.Below(9)]);
      }
      FixCrc(data, header);
      break;
    }
    case 1:  // the compressed stream: bits near its start hold the Huffman code lengths
      if (idats.empty()) return;
      {
        // Half the time the first block's header: after the two-byte zlib header come the
        // block type and the code lengths of the code-length alphabet.
        const bool header = rng.OneIn(2);
        const PngChunk& idat = header ? idats.front() : idats[rng.Below(idats.size())];
        const std::size_t from = header ? 2 : 0;
        const std::size_t span = header ? 10 : idat.length;
        if (idat.length < from + span) return;
        for (int i = 0, n = 1 + static_cast<int>(rng.Below(header ? 3 : 6)); i < n; ++i) {
          data[idat.start + 8 + from + rng.Below(span)] ^= static_cast<char>(1u << rng.Below(8));
        }
        // Our images are written with fixed codes; a block that claims dynamic ones makes the
        // decoder read code tables out of pixel data.
        if (header && rng.OneIn(2)) {
          char& type = data[idat.start + 8 + 2];
          type = static_cast<char>((type & ~0x06) | 0x04);
        }
        FixCrc(data, idat);
      }
      break;
    case 2: {  // a chunk length that lies
      const PngChunk& chunk = chunks[rng.Below(chunks.size())];
      const std::uint32_t length =
          rng.OneIn(2) ? 0x7FFFFFFFu : static_cast<std::uint32_t>(rng.Next());
      for (int i = 0; i < 4; ++i) data[chunk.start + i] = static_cast<char>(length >> (24 - 8 * i));
      break;
    }
    default:  // drop, repeat or cut a chunk
      if (chunks.size() < 2) return;
      {
        const PngChunk& chunk = chunks[1 + rng.Below(chunks.size() - 1)];
        const std::string whole = data.substr(chunk.start, chunk.length + 12);
        if (rng.OneIn(3)) {
          data.erase(chunk.start, whole.size());
        } else if (rng.OneIn(2)) {
          data.insert(chunk.start, whole);
        } else {
          data.resize(chunk.start + 8 + rng.Below(chunk.length + 1));
        }
      }
      break;
  }
}

// ---- TrueType ----------------------------------------------------------------------------

void TrueTypeEdit(std::string& data, FuzzRng& rng) {
  if (data.size() < 12) return ByteEdit(data, rng);
  const std::size_t tables =
      (static_cast<unsigned char>(data[4]) << 8) | static_cast<unsigned char>(data[5]);
  if (tables == 0 || 12 + tables * 16 > data.size()) return ByteEdit(data, rng);
  const std::size_t record = 12 + 16 * rng.Below(tables);
  switch (rng.Below(3)) {
    case 0: {  // a table's offset or length
      const std::size_t field = record + 8 + 4 * rng.Below(2);
      const std::uint32_t value =
          rng.OneIn(2) ? 0xFFFFFFF0u : static_cast<std::uint32_t>(rng.Next() % (data.size() * 2));
      for (int i = 0; i < 4; ++i) data[field + i] = static_cast<char>(value >> (24 - 8 * i));
      break;
    }
    case 1: {  // bytes inside a table
      const auto* b = reinterpret_cast<const unsigned char*>(data.data() + record + 8);
      const std::size_t offset = (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
      const std::size_t length = (b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7];
      if (offset >= data.size()) return;
      const std::size_t span = std::min(length + 1, data.size() - offset);
      for (int i = 0, n = 1 + static_cast<int>(rng.Below(16)); i < n; ++i) {
        data[offset + rng.Below(span)] = static_cast<char>(rng.Next());
      }
      break;
    }
    default:  // the table count
      data[4] = static_cast<char>(rng.Next());
      data[5] = static_cast<char>(rng.Next());
      break;
  }
}

// ---- settings.conf -----------------------------------------------------------------------

void SettingsEdit(std::string& text, FuzzRng& rng) {
  const char* const words[] = {"true", "false", "True", "-", "+", " ", "\r", "\t", "x", "\0"};
  switch (rng.Below(4)) {
    case 0:
      text = HostileNumber(rng) + "\n" + HostileNumber(rng) + "\n" + words[rng.Below(10)] + "\n";
      break;
    case 1:
      text.insert(rng.Below(text.size() + 1),
                  std::string(1 + rng.Below(20000), rng.OneIn(2) ? '9' : ' '));
      break;
    case 2:
      text = std::string(1 + rng.Below(200000), static_cast<char>(rng.Next()));
      break;
    default:
      text.insert(rng.Below(text.size() + 1), std::string(1 + rng.Below(50), '\n'));
      break;
  }
}

// ---- GLSL ----------------------------------------------------------------------------------

// Inserts `text` at the start of main's body (or at the end of a source without one).
void IntoMain(std::string& source, const std::string& text) {
  const std::size_t main = source.find("main()");
  const std::size_t body = main == std::string::npos ? main : source.find('{', main);
  if (body == std::string::npos) {
    source += text;
  } else {
    source.insert(body + 1, text);
  }
}

// What a compiler's front end does a lot of work for: macros that double, deep nesting, long
// bodies, huge arrays, and stray tokens.
void GlslEdit(std::string& source, FuzzRng& rng) {
  switch (rng.Below(5)) {
    case 0: {  // a chain of macros, each twice the last: 2^depth terms
      const std::size_t depth = 4 + rng.Below(23);
      std::string chain = "\n#define FZ0 1.0\n";
      for (std::size_t i = 1; i <= depth; ++i) {
        chain += "#define FZ" + std::to_string(i) + " (FZ" + std::to_string(i - 1) + "+FZ" +
                 std::to_string(i - 1) + ")\n";
      }
      const std::size_t line = source.find('\n');
      source.insert(line == std::string::npos ? source.size() : line, chain);
      IntoMain(source, " float fz = FZ" + std::to_string(depth) + ";");
      break;
    }
    case 1: {  // nested parentheses
      const std::size_t depth = 1 + rng.Below(20000);
      IntoMain(source, " float fz = " + std::string(depth, '(') + "1.0" +
                           std::string(rng.OneIn(4) ? depth / 2 : depth, ')') + ";");
      break;
    }
    case 2: {  // a long body, up to the size cap
      const std::string statement = " fz = fz * 1.5 + fz;";
      std::string body = " float fz = 1.0;";
      for (std::size_t i = 0, n = rng.Below(12000); i < n; ++i) body += statement;
      IntoMain(source, body);
      break;
    }
    case 3:  // an array of hostile size
      IntoMain(source, " float fz[" + HostileNumber(rng) + "]; fz[0] = 1.0;");
      break;
    default: {  // stray tokens
      const char* const tokens[] = {
          "#if", "#endif", "#define", "#line 99999999", "{",
          "}",   "(",      ";",       "uniform",        "layout(location = 2147483647)"};
      for (std::size_t i = 0, n = 1 + rng.Below(8); i < n; ++i) {
        source.insert(rng.Below(source.size() + 1), std::string(" ") + tokens[rng.Below(10)] + " ");
      }
      break;
    }
  }
}

}  // namespace

std::uint64_t FuzzRng::Next() {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string MutateFile(FuzzType type, const std::string& original, FuzzRng& rng) {
  std::string data = original;
  for (int edit = 0, edits = 1 + static_cast<int>(rng.Below(3)); edit < edits; ++edit) {
    if (rng.OneIn(3)) {
      ByteEdit(data, rng);
      continue;
    }
    switch (type) {
      case FuzzType::Collada:
        ColladaEdit(data, rng);
        break;
      case FuzzType::Jpeg:
        JpegEdit(data, rng);
        break;
      case FuzzType::Png:
        PngEdit(data, rng);
        break;
      case FuzzType::TrueType:
        TrueTypeEdit(data, rng);
        break;
      case FuzzType::Settings:
        SettingsEdit(data, rng);
        break;
      case FuzzType::Glsl:
        GlslEdit(data, rng);
        break;
      case FuzzType::Ogg:
        OggEdit(data, rng);
        break;
    }
  }
  return data;
}
