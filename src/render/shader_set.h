// shader_set.h: the eight shader programs of the game, built at start-up in a fixed order.
#pragma once

#include "gfx/shader.h"
#include "trial/shader_trial.h"

// The state each program is drawn with (the passes set it), for its trial draw:
// {drawn, colour, alphaOnly, blend, depthTest, depthLessEqual}.
constexpr ShaderPassState kNeverDrawn{false};
constexpr ShaderPassState kLitPass{};  // colour and depth, blending, LESS
constexpr ShaderPassState kMaskPass{true, true, true, false};
constexpr ShaderPassState kOverlayPass{true, true, false, true, false};
constexpr ShaderPassState kSkyPass{true, true, false, true, true, true};
constexpr ShaderPassState kDepthOnlyPass{true, false};

// The eight pairs from shader/, in start-up order. The first three paths carry a leading "./";
// both forms name the same folder.
constexpr ShaderPairPaths kShaderPairs[8] = {
    {"./shader/lamp.vertex", "./shader/lamp.fragment", kNeverDrawn},
    {"./shader/water.vertex", "./shader/water.fragment", kLitPass},
    {"./shader/waterRefractionAlpha.vertex", "./shader/waterRefractionAlpha.fragment", kMaskPass},
    {"shader/text.vertex", "shader/text.fragment", kOverlayPass},
    {"shader/screen.vertex", "shader/screen.fragment", kLitPass},
    {"shader/skybox.vertex", "shader/skybox.fragment", kSkyPass},
    {"shader/shadow_mapping.vertex", "shader/shadow_mapping.fragment", kLitPass},
    {"shader/shadow_mapping_depth.vertex", "shader/shadow_mapping_depth.fragment", kDepthOnlyPass}};

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
