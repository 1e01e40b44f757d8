// The eight shader pairs build silently and offer what the passes set; one full frame leaves
// the GL state the next frame's shadow pass relies on.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "input/help_panel.h"
#include "render/shader_set.h"
#include "render_play.h"

namespace {

bool Linked(const Shader& shader) {
  GLint linked = GL_FALSE;
  if (shader.programId == 0) return false;
  glGetProgramiv(shader.programId, GL_LINK_STATUS, &linked);
  return linked == GL_TRUE;
}

TEST(RenderShaders, AllEightPairsBuildSilentlyWithTheUniformsThePassesSet) {
  ShaderSet shaders;
  const std::string printed = CaptureStdout([&] { shaders = BuildShaders(); });
  EXPECT_EQ(printed, "");

  // A uniform the program lacks is silently ignored by GL, so a misspelt name would only show
  // as a wrong picture: every name a pass relies on must be an active uniform.
  struct Expect {
    const char* pair;
    const Shader* shader;
    std::vector<const char*> uniforms;
  };
  const Expect expectations[] = {
      {"lamp", &shaders.lampShader, {"model", "view", "projection"}},
      {"water",
       &shaders.waterShader,
       {"model", "view", "projection", "viewPos", "time", "tex0", "tex1", "tex2"}},
      {"waterRefractionAlpha",
       &shaders.waterRefractionAlphaShader,
       {"model", "view", "projection"}},
      {"text", &shaders.textShader, {"projection", "textColor"}},
      {"screen", &shaders.screenShader, {}},
      {"skybox", &shaders.skyboxShader, {"view", "projection", "skybox"}},
      {"shadow_mapping",
       &shaders.shadowMappingShader,
       {"model", "view", "projection", "lightSpaceMatrix", "lightPos", "viewPos", "shadows",
        "ClipPlane", "shadowMap", "reflection", "skybox", "texture_diffuse1",
        "material.shininess"}},
      {"shadow_mapping_depth", &shaders.shadowMappingDepthShader, {"model", "lightSpaceMatrix"}},
  };
  for (const Expect& e : expectations) {
    ASSERT_TRUE(Linked(*e.shader)) << e.pair;
    for (const char* name : e.uniforms) {
      EXPECT_NE(glGetUniformLocation(e.shader->programId, name), -1) << e.pair << ": " << name;
    }
  }
}

GLboolean Enabled(GLenum cap) {
  return glIsEnabled(cap);
}

GLint Integer(GLenum pname) {
  GLint value[4] = {-1, -1, -1, -1};
  glGetIntegerv(pname, value);
  return value[0];
}

// After a whole frame (wireframe or not, the help panel shown or not): depth test on with
// GL_LESS, fill mode, blending on with the alpha blend, every colour channel writable, no
// vertex array and the window bound.
class FrameState : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(FrameState, AfterAFullFrame) {
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  play->game.input.wireframe = std::get<0>(GetParam());
  play->game.help.shown = std::get<1>(GetParam());
  play->game.help.lines = LayoutHelpPanel(DefaultBindings(), KeyLabels(), 320, 180);
  RunScriptedFrames(*play, 2);

  EXPECT_TRUE(Enabled(GL_DEPTH_TEST));
  EXPECT_EQ(Integer(GL_DEPTH_FUNC), GL_LESS);
  GLint polygonMode[2] = {-1, -1};
  glGetIntegerv(GL_POLYGON_MODE, polygonMode);
  EXPECT_EQ(polygonMode[0], GL_FILL);
  EXPECT_TRUE(Enabled(GL_BLEND));
  EXPECT_EQ(Integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
  EXPECT_EQ(Integer(GL_BLEND_DST_RGB), GL_ONE_MINUS_SRC_ALPHA);
  GLboolean mask[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  for (GLboolean channel : mask) EXPECT_TRUE(channel);
  EXPECT_EQ(Integer(GL_VERTEX_ARRAY_BINDING), 0);
  EXPECT_EQ(Integer(GL_FRAMEBUFFER_BINDING), 0);
  EXPECT_TRUE(Enabled(GL_CULL_FACE));
  EXPECT_TRUE(Enabled(GL_CLIP_DISTANCE0));
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 320);
  EXPECT_EQ(viewport[3], 180);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(Wireframe, FrameState,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

}  // namespace
