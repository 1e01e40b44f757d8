// The shared context really is a GL 3.3 (or later) core context.
#include <gtest/gtest.h>

#include "gl_context.h"

TEST(GlContext, IsCoreProfileAtLeast33) {
  GLint major = 0, minor = 0, mask = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
  EXPECT_GE(major * 10 + minor, 33);
  EXPECT_TRUE(mask & GL_CONTEXT_CORE_PROFILE_BIT);
}
