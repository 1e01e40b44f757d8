// shader_set.h: the eight shader programs of the game, built at start-up in a fixed order.
#pragma once

#include "gfx/shader.h"
#include "trial/shader_trial.h"

// The eight pairs from shader/, in start-up order. The first three paths carry a leading "./";
// both forms name the same folder.
constexpr ShaderPairPaths kShaderPairs[8] = {
    {"./shader/lamp.vertex", "./shader/lamp.fragment"},
    {"./shader/water.vertex", "./shader/water.fragment"},
    {"./shader/waterRefractionAlpha.vertex", "./shader/waterRefractionAlpha.fragment"},
    {"shader/text.vertex", "shader/text.fragment"},
    {"shader/screen.vertex", "shader/screen.fragment"},
    {"shader/skybox.vertex", "shader/skybox.fragment"},
    {"shader/shadow_mapping.vertex", "shader/shadow_mapping.fragment"},
    {"shader/shadow_mapping_depth.vertex", "shader/shadow_mapping_depth.fragment"}};

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
