// model_props.cpp: the solid pieces of the pool: the crate, the stone platform and the walls.
// Their boxes are what the canoe collides with, so their extents are exact and simple.
#include <algorithm>
#include <cmath>

#include "models.h"

namespace {

void AddQuad(MeshData& m, const glm::vec3 (&p)[4], const glm::vec2 (&uv)[4], glm::vec3 normal) {
  uint32_t i[4];
  for (int k = 0; k < 4; ++k) i[k] = m.AddVertex(p[k], normal, uv[k]);
  m.AddTriangleFacing(i[0], i[1], i[2]);
  m.AddTriangleFacing(i[0], i[2], i[3]);
}

// Wood grain for planks running along u.
glm::vec3 Pine(float u, float v, uint32_t seed, float tone) {
  const float grain = Fbm2({u * 3.0f, v * 24.0f}, 5, seed);
  const float rings = 0.5f + 0.5f * std::sin((v * 22.0f + grain * 7.0f) * 2.0f + seed);
  return glm::mix(Rgb(150, 104, 58), Rgb(206, 160, 100), tone) *
         (0.82f + 0.12f * rings + 0.1f * grain);
}

Image CrateTexture() {
  const int size = 512;
  Image img(size, size);
  Rng rng(0xC2A7E);
  float plankTone[8];
  for (float& t : plankTone) t = rng.Range(0.3f, 0.9f);
  const float frame = 0.13f;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      glm::vec3 c;
      float gapDist = 1.0f;              // distance to the nearest board edge, for the dark seams
      if (v < frame || v > 1 - frame) {  // top and bottom frame boards, horizontal grain
        const float lv = v < frame ? v / frame : (v - 1 + frame) / frame;
        c = Pine(u, lv * 0.2f + (v > 0.5f ? 0.5f : 0.0f), 61, 0.75f);
        gapDist = std::min(lv, 1 - lv) * frame;
      } else if (u < frame || u > 1 - frame) {  // side boards, vertical grain
        const float lu = u < frame ? u / frame : (u - 1 + frame) / frame;
        c = Pine(v, lu * 0.2f + (u > 0.5f ? 0.3f : 0.7f), 62, 0.7f);
        gapDist = std::min(lu, 1 - lu) * frame;
      } else {
        // Diagonal brace from the bottom-left to the top-right corner.
        const float diag = std::fabs((u - frame) - (1 - frame - v)) / std::sqrt(2.0f);
        if (diag < 0.075f) {
          const float along = (u + (1 - v)) * 0.5f;
          c = Pine(along, diag * 2.0f + 0.1f, 63, 0.8f);
          gapDist = 0.075f - diag;
        } else {
          const float pv = (v - frame) / (1 - 2 * frame) * 5.0f;
          const int plank = std::min(4, static_cast<int>(pv));
          c = Pine(u, pv * 0.3f, 64 + plank, plankTone[plank]) * 0.92f;
          gapDist = std::min(pv - plank, plank + 1 - pv) * (1 - 2 * frame) / 5.0f;
        }
      }
      c *= 0.55f + 0.45f * SmoothStep(0.0f, 0.008f, gapDist);
      // Nail heads near the frame corners and along the side boards.
      for (float nu : {frame * 0.5f, 1 - frame * 0.5f})
        for (float nv : {frame * 0.5f, 0.5f, 1 - frame * 0.5f})
          if (glm::distance(glm::vec2(u, v), glm::vec2(nu, nv)) < 0.009f) c = Rgb(70, 70, 74);
      img.At(x, y) = c;
    }
  return img;
}

// Ashlar masonry, tileable: four blocks per row, eight courses, running bond.
Image StoneTexture() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      const float cv = v * 8.0f;
      const int course = static_cast<int>(cv);
      const float cu = u * 4.0f + (course % 2) * 0.5f;
      const int block = static_cast<int>(std::floor(cu));
      const float fu = cu - block, fv = cv - course;
      const float shade = Hash2(((block % 4) + 4) % 4, course, 91);
      const float n = Fbm2({u * 16.0f, v * 16.0f}, 5, 92, 16);
      glm::vec3 c = glm::mix(Rgb(138, 132, 120), Rgb(176, 168, 150), shade) * (0.8f + 0.35f * n);
      const float edge = std::min(std::min(fu, 1 - fu) / 4.0f, std::min(fv, 1 - fv) / 8.0f);
      c *= 0.6f + 0.4f * SmoothStep(0.002f, 0.008f, edge);
      img.At(x, y) = c;
    }
  return img;
}

// Glazed pool tiles for the water-side faces: 16 x 16 tiles, the texture's height covering the
// face once (top row at the coping), with a dark band of tiles just above the water line.
Image PoolTileTexture() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int tx = x / 32, ty = y / 32;
      const float fx = (x % 32 + 0.5f) / 32, fy = (y % 32 + 0.5f) / 32;
      const float h = Hash2(tx, ty, 101);
      glm::vec3 c = glm::mix(Rgb(196, 226, 232), Rgb(222, 240, 244), h);
      if (ty == 2 || ty == 3) c = glm::mix(Rgb(20, 70, 130), Rgb(30, 86, 150), h);
      if (ty == 1) c = glm::mix(Rgb(70, 150, 190), Rgb(86, 166, 204), h);
      // A soft glaze highlight and the grout.
      c *= 0.96f + 0.06f * (1 - fy) * (1 - fx);
      const float e = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
      c = glm::mix(Rgb(150, 160, 162), c, SmoothStep(0.03f, 0.08f, e));
      img.At(x, y) = c;
    }
  return img;
}

// Non-slip stone deck slabs, tileable: 4 x 4 slabs, a mid grey-beige so the sunlit coping
// does not glare.
Image DeckTexture() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      const int sx = x / 128, sy = y / 128;
      const float fx = (x % 128 + 0.5f) / 128, fy = (y % 128 + 0.5f) / 128;
      const float n = Fbm2({u * 32.0f, v * 32.0f}, 4, 111, 32);
      const float speck = Hash2(x, y, 112) > 0.93f ? 0.9f : 1.0f;
      glm::vec3 c = glm::mix(Rgb(140, 132, 118), Rgb(158, 150, 134), Hash2(sx, sy, 113));
      c *= (0.9f + 0.14f * n) * speck;
      const float e = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
      c *= 0.7f + 0.3f * SmoothStep(0.01f, 0.03f, e);
      img.At(x, y) = c;
    }
  return img;
}

// The hall wall above the deck: large terracotta tiles with a teal band at a third of the height
// and a dark skirting; u repeats every 3.3 m, the height is covered once. The tiles are a mid
// tone on purpose: the low sun lights two of the walls brightly, and the HUD's white top line
// sits over the far wall (over the near one too, when the seat looks into a corner), so a pale
// wall there would swallow the text.
Image HallWallTexture() {
  const int size = 512;
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float u = (x + 0.5f) / size, v = (y + 0.5f) / size;
      const float cu = u * 8.0f, cv = v * 8.0f;
      const int tx = static_cast<int>(cu), ty = static_cast<int>(cv);
      const float fx = cu - tx, fy = cv - ty;
      const float n = Fbm2({u * 16.0f, v * 16.0f}, 3, 121, 16);
      glm::vec3 c = glm::mix(Rgb(106, 76, 58), Rgb(118, 85, 65), Hash2(tx, ty, 122));
      if (ty == 5) c = Rgb(30, 104, 110);
      if (ty == 7) c = Rgb(84, 66, 54);  // skirting
      c *= 0.95f + 0.06f * n;
      const float e = std::min(std::min(fx, 1 - fx), std::min(fy, 1 - fy));
      c = glm::mix(Rgb(118, 106, 92), c, SmoothStep(0.015f, 0.04f, e));
      img.At(x, y) = c;
    }
  return img;
}

}  // namespace

Asset MakeCube() {
  MeshData m = BoxFullFaces({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, UvRect{});
  m.name = "crate";
  m.material = "crate_wood";
  m.diffuse = "crate.jpg";
  Asset a;
  a.model.path = "assets/cube.dae";
  a.model.meshes.push_back(std::move(m));
  a.images.push_back({"assets/crate.jpg", CrateTexture()});
  return a;
}

Asset MakePlatform() {
  // A pedestal of dressed stone: plinth under the floor, column, and a wider cap whose top is
  // the landing surface at y = 0.9.
  const float tile = 2.0f;
  MeshData m = Box({-0.9f, -1.6f, -0.9f}, {0.9f, -1.25f, 0.9f}, tile, true);
  m.Append(Box({-0.76f, -1.25f, -0.76f}, {0.76f, 0.7f, 0.76f}, tile, true));
  m.Append(Box({-0.95f, 0.7f, -0.95f}, {0.95f, 0.9f, 0.95f}, tile));
  m.name = "platform_stone";
  m.material = "platform_stone";
  m.diffuse = "stone.jpg";
  Asset a;
  a.model.path = "assets/platform2.dae";
  a.model.meshes.push_back(std::move(m));
  a.images.push_back({"assets/stone.jpg", StoneTexture()});
  return a;
}

Asset MakePool(bool runsAlongX) {
  // Cross-section (b across the wall, symmetric; a along it): the tiled pool face at |b| = 1.5
  // from below the floor to the coping, a deck from |b| = 1.5 to 0.5, the hall wall's faces at
  // |b| = 0.5 up to the top. pool3 sits 1 cm higher so the tops never fight where the walls
  // cross in the corners.
  const float lift = runsAlongX ? 0.0f : 0.01f;
  const float bottom = -1.7f, tilesTop = 0.2f, deck = 0.3f + lift, top = 3.6f + lift;
  const float halfLength = 53.0f, outer = 1.5f, inner = 0.5f;
  const float tileRepeat = tilesTop - bottom;  // the tile image covers the face once
  const float hallRepeat = top - deck;
  const float deckRepeat = 2.0f;
  MeshData tiles, slabs, hall;
  for (int s = -1; s <= 1; s += 2) {
    const float fs = static_cast<float>(s);
    const glm::vec3 n(0, 0, fs);
    const float ua = -halfLength / tileRepeat, ub = halfLength / tileRepeat;
    AddQuad(tiles,
            {{-halfLength, bottom, fs * outer},
             {halfLength, bottom, fs * outer},
             {halfLength, tilesTop, fs * outer},
             {-halfLength, tilesTop, fs * outer}},
            {{ua, 1}, {ub, 1}, {ub, 0}, {ua, 0}}, n);
    // Coping front and deck, in the deck stone.
    const float da = -halfLength / deckRepeat, db = halfLength / deckRepeat;
    AddQuad(slabs,
            {{-halfLength, tilesTop, fs * outer},
             {halfLength, tilesTop, fs * outer},
             {halfLength, deck, fs * outer},
             {-halfLength, deck, fs * outer}},
            {{da, 0.05f}, {db, 0.05f}, {db, 0}, {da, 0}}, n);
    AddQuad(slabs,
            {{-halfLength, deck, fs * outer},
             {halfLength, deck, fs * outer},
             {halfLength, deck, fs * inner},
             {-halfLength, deck, fs * inner}},
            {{da, outer / deckRepeat},
             {db, outer / deckRepeat},
             {db, inner / deckRepeat},
             {da, inner / deckRepeat}},
            {0, 1, 0});
    const float ha = -halfLength / hallRepeat, hb = halfLength / hallRepeat;
    AddQuad(hall,
            {{-halfLength, deck, fs * inner},
             {halfLength, deck, fs * inner},
             {halfLength, top, fs * inner},
             {-halfLength, top, fs * inner}},
            {{ha, 1}, {hb, 1}, {hb, 0}, {ha, 0}}, n);
    // End faces (seen only from outside the pool hall).
    const float e = fs * halfLength;
    const glm::vec3 en(fs, 0, 0);
    AddQuad(slabs, {{e, bottom, -outer}, {e, bottom, outer}, {e, deck, outer}, {e, deck, -outer}},
            {{-outer / deckRepeat, 1},
             {outer / deckRepeat, 1},
             {outer / deckRepeat, 0},
             {-outer / deckRepeat, 0}},
            en);
    AddQuad(slabs, {{e, deck, -inner}, {e, deck, inner}, {e, top, inner}, {e, top, -inner}},
            {{-inner / deckRepeat, 1.7f},
             {inner / deckRepeat, 1.7f},
             {inner / deckRepeat, 0},
             {-inner / deckRepeat, 0}},
            en);
  }
  const float da = -halfLength / deckRepeat, db = halfLength / deckRepeat;
  AddQuad(slabs,
          {{-halfLength, top, -inner},
           {halfLength, top, -inner},
           {halfLength, top, inner},
           {-halfLength, top, inner}},
          {{da, 0}, {db, 0}, {db, 0.5f}, {da, 0.5f}}, {0, 1, 0});

  const char* stem = runsAlongX ? "pool2" : "pool3";
  tiles.name = std::string(stem) + "_tiles";
  tiles.material = "pool_tiles";
  tiles.diffuse = "pool_tiles.jpg";
  slabs.name = std::string(stem) + "_deck";
  slabs.material = "pool_deck";
  slabs.diffuse = "pool_deck.jpg";
  hall.name = std::string(stem) + "_hall";
  hall.material = "pool_hall";
  hall.diffuse = "pool_hall.jpg";
  Asset a;
  a.model.path = std::string("assets/") + stem + ".dae";
  for (MeshData* m : {&tiles, &slabs, &hall}) {
    if (!runsAlongX) {
      // A quarter turn about y, done exactly: (x, y, z) -> (z, y, -x).
      for (auto* v : {&m->positions, &m->normals})
        for (glm::vec3& p : *v) p = glm::vec3(p.z, p.y, -p.x);
    }
    a.model.meshes.push_back(std::move(*m));
  }
  if (runsAlongX) {
    a.images.push_back({"assets/pool_tiles.jpg", PoolTileTexture()});
    a.images.push_back({"assets/pool_deck.jpg", DeckTexture()});
    a.images.push_back({"assets/pool_hall.jpg", HallWallTexture()});
  }
  return a;
}
