// shader_set.cpp: the eight shader pairs, in start-up order. The first three paths carry a
// leading "./"; both forms name the same folder.
#include "render/shader_set.h"

ShaderSet BuildShaders() {
  ShaderSet s;
  s.lampShader = Shader("./shader/lamp.vertex", "./shader/lamp.fragment");
  s.waterShader = Shader("./shader/water.vertex", "./shader/water.fragment");
  s.waterRefractionAlphaShader =
      Shader("./shader/waterRefractionAlpha.vertex", "./shader/waterRefractionAlpha.fragment");
  s.textShader = Shader("shader/text.vertex", "shader/text.fragment");
  s.screenShader = Shader("shader/screen.vertex", "shader/screen.fragment");
  s.skyboxShader = Shader("shader/skybox.vertex", "shader/skybox.fragment");
  s.shadowMappingShader = Shader("shader/shadow_mapping.vertex", "shader/shadow_mapping.fragment");
  s.shadowMappingDepthShader =
      Shader("shader/shadow_mapping_depth.vertex", "shader/shadow_mapping_depth.fragment");
  return s;
}
