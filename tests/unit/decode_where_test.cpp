// Files are decoded (and shaders handed over for compiling) in the caller's own process only
// where that was chosen by name. By default, with no trial installed, every gate refuses with
// the no-process reason and the in-process decoders read nothing; chosen, the same calls decode
// the repository's own files. An installed trial is asked first either way.
#include <gtest/gtest.h>

#include <string>

#include "trial/decoders.h"
#include "trial/file_trial.h"
#include "trial/shader_trial.h"

namespace {

class DecodeWhereTest : public ::testing::TestWithParam<DecodeWhere> {
 protected:
  void TearDown() override { SetDecodeWhere(DecodeWhere::InTrialOnly); }
};

TEST(DecodeWhere, RefusesUntilChosen) {
  EXPECT_EQ(CurrentDecodeWhere(), DecodeWhere::InTrialOnly);
}

TEST_P(DecodeWhereTest, OnlyTheNamedModeDecodesInThisProcess) {
  SetDecodeWhere(GetParam());
  const bool here = GetParam() == DecodeWhere::InProcess;
  for (const char* path :
       {"assets/cube.dae", "textures/ground.jpg", "fonts/OpenSans-Regular.ttf"}) {
    const char* refusal = nullptr;
    EXPECT_EQ(PassedTrial(path, refusal), nullptr) << path;
    EXPECT_EQ(refusal ? std::string(refusal) : "", here ? "" : kNoTrialProcess) << path;
  }

  const DecodedModel model = DecodeModelFile("assets/cube.dae");
  EXPECT_EQ(model.loaded, here);
  EXPECT_EQ(model.error,
            here ? "" : std::string("Did not import assets/cube.dae: ") + kNoTrialProcess);
  EXPECT_EQ(DecodeImageFile("textures/ground.jpg").rgb.empty(), !here);
  EXPECT_EQ(DecodeTextureFile("assets", "crate.jpg").rgb.empty(), !here);
  const DecodedFont font = DecodeFontFile("fonts/OpenSans-Regular.ttf");
  EXPECT_TRUE(font.libraryReady);
  EXPECT_EQ(font.faceReady, here);

  // A refused pair is read like a tried one, so its lines are those of any refused pair.
  const ShaderPairTrial* pair = TriedShaderPair("shader/lamp.vertex", "shader/lamp.fragment");
  ASSERT_EQ(pair == nullptr, here);
  if (pair) {
    EXPECT_TRUE(pair->read);
    EXPECT_EQ(pair->verdict, ShaderVerdict::NotTried);
    EXPECT_EQ(pair->reason, kNoTrialProcess);
  }

  // An installed trial answers first: here one that has ended without a record for the file.
  FileTrial ended;
  ended.finished = true;
  InstallFileTrial(&ended);
  const char* refusal = nullptr;
  EXPECT_EQ(PassedTrial("assets/cube.dae", refusal), nullptr);
  EXPECT_STREQ(refusal, "it was not tried before loading");
  InstallFileTrial(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Modes, DecodeWhereTest,
                         ::testing::Values(DecodeWhere::InTrialOnly, DecodeWhere::InProcess));

}  // namespace
