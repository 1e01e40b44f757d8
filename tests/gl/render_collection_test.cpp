// A duck the canoe touches is collected in the shadow pass, the first pass of the frame: it is
// in that frame's shadow map and in no image after it.
#include <gtest/gtest.h>

#include "render_play.h"

namespace {

TEST(RenderCollection, TouchedDuckIsInThatFramesShadowMapOnly) {
  if (!HaveGameAssets()) GTEST_SKIP() << "needs the generated models";
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  ScriptedPlay& p = *play;
  // Shadows off: the depth map then has no say in the images, so they can be compared
  // between frames whose depth maps differ.
  p.game.input.shadowsEnabled = false;
  const int duck = 1;
  const glm::vec3 at(p.game.world.ducks[duck].transform[3]);
  PlaceFreeCamera(p, at + glm::vec3(-4.0f, 2.0f, 0.0f), 0.0f, -25.0f);

  RunScriptedFrames(p, 2);
  ASSERT_TRUE(p.game.state.duckAlive[duck]);
  const std::vector<float> depthBefore = ReadShadowMap(p);
  const Image sceneBefore = TargetImage(p, p.session.targets.sceneTarget);

  // Let the canoe's box reach the duck without moving anything drawn: the rule reads the
  // stored boxes only.
  SceneNode& node = p.game.world.ducks[duck];
  node.minCorner = p.game.world.canoeNode.minCorner;
  node.size = p.game.world.canoeNode.size;
  const int collectedBefore = p.game.state.ducksCollected;
  RunScriptedFrames(p, 1);
  EXPECT_FALSE(p.game.state.duckAlive[duck]);
  EXPECT_EQ(p.game.state.ducksCollected, collectedBefore + 1);
  const std::vector<float> depthCollected = ReadShadowMap(p);
  const Image sceneCollected = TargetImage(p, p.session.targets.sceneTarget);

  RunScriptedFrames(p, 1);
  EXPECT_EQ(p.game.state.ducksCollected, collectedBefore + 1);
  const std::vector<float> depthAfter = ReadShadowMap(p);
  const Image sceneAfter = TargetImage(p, p.session.targets.sceneTarget);

  EXPECT_TRUE(depthCollected == depthBefore) << "collected after it was drawn into the map";
  EXPECT_FALSE(depthAfter == depthCollected) << "gone from the next frame's map";
  EXPECT_GT(CountDifferent(sceneCollected, sceneBefore), 50) << "gone from its own frame";
  EXPECT_EQ(CountDifferent(sceneAfter, sceneCollected), 0);
}

}  // namespace
