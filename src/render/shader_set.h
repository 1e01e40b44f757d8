// shader_set.h: the eight shader programs of the game, built at start-up in a fixed order.
#pragma once

#include "gfx/shader.h"

struct ShaderSet {
  Shader lampShader;                  // built only; no pass uses it
  Shader waterShader;                 // water composite
  Shader waterRefractionAlphaShader;  // water mask
  Shader textShader;                  // HUD text
  Shader screenShader;                // full-screen quads
  Shader skyboxShader;                // sky box
  Shader shadowMappingShader;         // lit, shadowed scene
  Shader shadowMappingDepthShader;    // shadow map
};

ShaderSet BuildShaders();  // the eight pairs from shader/, in start-up order
