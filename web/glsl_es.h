// glsl_es.h: GLSL ES 3.00 for the browser, derived from the desktop's GLSL 330 core sources
// when the browser build is made, so the two never drift apart.
#pragma once

#include <string>

struct ShaderPair {
  std::string vertex;
  std::string fragment;
};

// The ES form of one GLSL 330 pair:
// - the version line becomes "#version 300 es", with high precision for floats, ints and
//   samplers (a depth map read at low precision would shadow everything);
// - desktop extension directives are dropped, so each source takes its own fallback path (the
//   shadow lookup's fallback tests the map's range where the desktop relies on a border
//   colour, which WebGL lacks);
// - the clip distance becomes a varying the fragment stage discards on, since clip distances
//   need an extension few browsers offer. Stages that write a constant 1.0 never clip: theirs
//   is dropped, so their fragments keep early depth testing.
ShaderPair DeriveEsPair(const ShaderPair& desktop);
