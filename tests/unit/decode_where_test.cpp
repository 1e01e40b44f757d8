// Files are decoded (and shaders handed to the driver) in the caller's own process only where
// that was chosen by name: by default every gate refuses for want of a trial process and the
// in-process decoders read nothing. An installed trial is asked first either way.
#include <gtest/gtest.h>

#include "trial/decoders.h"
#include "trial/file_trial.h"
#include "trial/shader_trial.h"

class DecodeWhereTest : public ::testing::TestWithParam<DecodeWhere> {
  void TearDown() override { SetDecodeWhere(DecodeWhere::InTrialOnly); }
};

TEST_P(DecodeWhereTest, OnlyTheNamedModeDecodesInThisProcess) {
  EXPECT_EQ(CurrentDecodeWhere(), DecodeWhere::InTrialOnly);  // the default
  SetDecodeWhere(GetParam());
  const bool here = GetParam() == DecodeWhere::InProcess;
  const char* refusal = nullptr;
  EXPECT_EQ(PassedTrial("assets/cube.dae", refusal), nullptr);
  EXPECT_STREQ(refusal, here ? nullptr : kNoTrialProcess);
  const DecodedModel model = DecodeModelFile("assets/cube.dae");
  EXPECT_EQ(model.error,
            here ? "" : std::string("Did not import assets/cube.dae: ") + kNoTrialProcess);
  EXPECT_EQ(DecodeImageFile("textures/ground.jpg").rgb.empty(), !here);
  EXPECT_EQ(DecodeTextureFile("assets", "crate.jpg").rgb.empty(), !here);
  EXPECT_EQ(DecodeFontFile("fonts/OpenSans-Regular.ttf").faceReady, here);
  // A refused pair is read like a tried one, so its lines are those of any refused pair.
  const ShaderPairTrial* pair = TriedShaderPair("shader/lamp.vertex", "shader/lamp.fragment");
  ASSERT_EQ(pair == nullptr, here);
  if (pair) {
    EXPECT_TRUE(pair->read && pair->reason == kNoTrialProcess);
  }

  FileTrial ended;  // an installed trial that has ended without a record for the file
  ended.finished = true;
  InstallFileTrial(&ended);
  EXPECT_EQ(PassedTrial("assets/cube.dae", refusal), nullptr);
  EXPECT_STREQ(refusal, "it was not tried before loading");
  InstallFileTrial(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Modes, DecodeWhereTest,
                         ::testing::Values(DecodeWhere::InTrialOnly, DecodeWhere::InProcess));
