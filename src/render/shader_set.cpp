// shader_set.cpp: the eight shader pairs, in start-up order (kShaderPairs).
#include "render/shader_set.h"

namespace {
Shader BuildPair(int index) {
  return Shader(kShaderPairs[index].vertex, kShaderPairs[index].fragment);
}
}  // namespace

ShaderSet BuildShaders() {
  ShaderSet s;
  s.lampShader = BuildPair(0);
  s.waterShader = BuildPair(1);
  s.waterRefractionAlphaShader = BuildPair(2);
  s.textShader = BuildPair(3);
  s.screenShader = BuildPair(4);
  s.skyboxShader = BuildPair(5);
  s.shadowMappingShader = BuildPair(6);
  s.shadowMappingDepthShader = BuildPair(7);
  return s;
}
