// Textures: parameters of each kind, unpadded RGB uploads, and the fallback for images that
// cannot be decoded.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "gfx/texture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx_test_files.h"
#include "gl_context.h"

namespace {

const std::vector<unsigned char> kMagenta = {255, 0, 255};

// Level `level` of the texture bound to `bindTarget`, read from `imageTarget` as packed RGB.
std::vector<unsigned char> ReadRgb(GLenum bindTarget, GLuint id, GLenum imageTarget,
                                   int level = 0) {
  glBindTexture(bindTarget, id);
  GLint width = 0, height = 0;
  glGetTexLevelParameteriv(imageTarget, level, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(imageTarget, level, GL_TEXTURE_HEIGHT, &height);
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!pixels.empty()) glGetTexImage(imageTarget, level, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  glBindTexture(bindTarget, 0);
  return pixels;
}

std::vector<unsigned char> Read2d(GLuint id) {
  return ReadRgb(GL_TEXTURE_2D, id, GL_TEXTURE_2D);
}

GLint LevelWidth(GLenum bindTarget, GLuint id, GLenum imageTarget, int level) {
  glBindTexture(bindTarget, id);
  GLint width = 0;
  glGetTexLevelParameteriv(imageTarget, level, GL_TEXTURE_WIDTH, &width);
  glBindTexture(bindTarget, 0);
  return width;
}

GLint Parameter(GLenum target, GLuint id, GLenum name) {
  glBindTexture(target, id);
  GLint value = 0;
  glGetTexParameteriv(target, name, &value);
  glBindTexture(target, 0);
  return value;
}

GLint Bound(GLenum binding) {
  GLint value = -1;
  glGetIntegerv(binding, &value);
  return value;
}

GLuint LoadTextureName(const std::string& path) {
  GLuint id = 0;
  LoadTexture(id, path.c_str());
  return id;
}

}  // namespace

TEST(Texture, EachKindGetsItsParametersAndLeavesTextureZeroBound) {
  ScratchDir dir;
  WritePng(dir / "a.png", 4, 4, 3, SolidRgb(4, 4, 10, 20, 30));
  const std::vector<std::string> faces(6, dir / "a.png");

  struct Case {
    const char* name;
    GLenum target;
    GLuint id;
    GLint wrap;
    GLint minFilter;
    bool mipmaps;
  };
  // Each load runs with some other texture bound, to see it put back to 0.
  GLuint other = 0;
  glGenTextures(1, &other);
  glBindTexture(GL_TEXTURE_2D, other);
  const GLuint model = LoadModelTexture("a.png", dir.Path());
  EXPECT_EQ(Bound(GL_TEXTURE_BINDING_2D), 0);
  glBindTexture(GL_TEXTURE_2D, other);
  const GLuint plain = LoadTextureName(dir / "a.png");
  EXPECT_EQ(Bound(GL_TEXTURE_BINDING_2D), 0);
  const GLuint cube = LoadCubemap(faces);
  EXPECT_EQ(Bound(GL_TEXTURE_BINDING_CUBE_MAP), 0);

  const Case cases[] = {
      {"model texture", GL_TEXTURE_2D, model, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, true},
      {"stand-alone texture", GL_TEXTURE_2D, plain, GL_MIRRORED_REPEAT, GL_LINEAR, true},
      {"cube map", GL_TEXTURE_CUBE_MAP, cube, GL_CLAMP_TO_EDGE, GL_LINEAR, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(glIsTexture(c.id));
    EXPECT_EQ(Parameter(c.target, c.id, GL_TEXTURE_WRAP_S), c.wrap);
    EXPECT_EQ(Parameter(c.target, c.id, GL_TEXTURE_WRAP_T), c.wrap);
    // R is left at its default for 2D textures.
    EXPECT_EQ(Parameter(c.target, c.id, GL_TEXTURE_WRAP_R),
              c.target == GL_TEXTURE_CUBE_MAP ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    EXPECT_EQ(Parameter(c.target, c.id, GL_TEXTURE_MIN_FILTER), c.minFilter);
    EXPECT_EQ(Parameter(c.target, c.id, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    const GLenum image =
        c.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : c.target;
    EXPECT_EQ(LevelWidth(c.target, c.id, image, 0), 4);
    EXPECT_EQ(LevelWidth(c.target, c.id, image, 2), c.mipmaps ? 1 : 0);
    glBindTexture(c.target, c.id);
    GLint format = 0;
    glGetTexLevelParameteriv(image, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_RGB);
    glBindTexture(c.target, 0);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, FiveWideImageUploadsWithoutSkewAndUnflipped) {
  // 5 x 3 RGB: rows of 15 bytes, which only byte alignment uploads straight.
  std::vector<unsigned char> pixels;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      pixels.insert(pixels.end(),
                    {static_cast<unsigned char>(40 * x), static_cast<unsigned char>(80 * y), 7});
    }
  }
  ScratchDir dir;
  WritePng(dir / "five.png", 5, 3, 3, pixels);
  EXPECT_EQ(Read2d(LoadTextureName(dir / "five.png")), pixels);
  EXPECT_EQ(Read2d(LoadModelTexture("five.png", dir.Path())), pixels);
}

TEST(Texture, AlphaIsDropped) {
  const std::vector<unsigned char> rgba = {200, 10, 20, 0,   30, 40,  50,  128,
                                           60,  70, 80, 255, 90, 100, 110, 7};
  ScratchDir dir;
  WritePng(dir / "alpha.png", 2, 2, 4, rgba);
  const GLuint id = LoadTextureName(dir / "alpha.png");
  glBindTexture(GL_TEXTURE_2D, id);
  GLint alphaBits = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
  EXPECT_EQ(alphaBits, 0);
  std::vector<unsigned char> read(16);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(read[i * 4 + 0], rgba[i * 4 + 0]);
    EXPECT_EQ(read[i * 4 + 1], rgba[i * 4 + 1]);
    EXPECT_EQ(read[i * 4 + 2], rgba[i * 4 + 2]);
    EXPECT_EQ(read[i * 4 + 3], 255);
  }
}

TEST(Texture, JpegDecodes) {
  ScratchDir dir;
  WriteGreyJpeg(dir / "g.jpg", 16, 8, 100);
  const std::vector<unsigned char> read = Read2d(LoadTextureName(dir / "g.jpg"));
  ASSERT_EQ(read.size(), 16u * 8u * 3u);
  for (unsigned char value : read) ASSERT_NEAR(value, 100, 1);
}

TEST(Texture, UndecodableImagesStillGiveAUsableOneTexelTexture) {
  ScratchDir dir;
  WritePng(dir / "good.png", 16, 16, 3, SolidRgb(16, 16, 1, 2, 3));
  WriteGreyJpeg(dir / "good.jpg", 16, 16, 9);
  const std::string png = ReadFile(dir / "good.png");
  const std::string jpg = ReadFile(dir / "good.jpg");
  WriteFile(dir / "empty.png", "");
  const char garbage[] = "\x89PNG\r\n\x1a\n garbage \xff\x00\x13 not an image";
  WriteFile(dir / "garbage.png", std::string(garbage, sizeof(garbage) - 1));
  WriteFile(dir / "truncated.png", png.substr(0, png.size() / 2));
  WriteFile(dir / "header-only.png", png.substr(0, 33));
  WriteFile(dir / "truncated.jpg", jpg.substr(0, jpg.size() / 3));
  WriteFile(dir / "text.jpg", "this is not a JPEG at all");
  // Headers claiming enormous sizes over the data of a 16 x 16 image.
  std::string hugePng = png;
  hugePng.replace(16, 8, std::string("\x00\x01\x00\x00\x00\x01\x00\x00", 8));
  WriteFile(dir / "huge.png", hugePng);
  std::string wrapPng = png;
  wrapPng.replace(16, 8, std::string("\x7f\xff\xff\xff\x7f\xff\xff\xff", 8));
  WriteFile(dir / "wrap.png", wrapPng);
  std::string hugeJpg = jpg;
  const size_t frame = hugeJpg.find("\xFF\xC0");
  hugeJpg.replace(frame + 5, 4, "\xFF\xFF\xFF\xFF");
  WriteFile(dir / "huge.jpg", hugeJpg);

  const char* const names[] = {"missing.png",     "empty.png",     "garbage.png", "truncated.png",
                               "header-only.png", "truncated.jpg", "text.jpg",    "huge.png",
                               "wrap.png",        "huge.jpg"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::string output = CaptureStdout([&] {
      const GLuint plain = LoadTextureName(dir / name);
      const GLuint model = LoadModelTexture(name, dir.Path());
      for (GLuint id : {plain, model}) {
        ASSERT_TRUE(glIsTexture(id));
        const std::vector<unsigned char> read = Read2d(id);
        // A truncated file may still decode partly; only a failed decode gets the fallback.
        if (read.size() == 3) {
          EXPECT_EQ(read, kMagenta);
        }
      }
      EXPECT_EQ(Parameter(GL_TEXTURE_2D, model, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
      EXPECT_EQ(Parameter(GL_TEXTURE_2D, plain, GL_TEXTURE_WRAP_S), GL_MIRRORED_REPEAT);
    });
    EXPECT_EQ(output, "");
  }
  // These cannot decode at all.
  for (const char* name :
       {"missing.png", "empty.png", "garbage.png", "header-only.png", "text.jpg"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Read2d(LoadTextureName(dir / name)), kMagenta);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, SamePathTwiceGivesTwoTextures) {
  ScratchDir dir;
  WritePng(dir / "a.png", 2, 2, 3, SolidRgb(2, 2, 5, 6, 7));
  const GLuint first = LoadTextureName(dir / "a.png");
  const GLuint second = LoadTextureName(dir / "a.png");
  EXPECT_NE(first, second);
  EXPECT_EQ(Read2d(first), Read2d(second));
}

TEST(Texture, ModelTexturePathIsDirectorySlashFileName) {
  ScratchDir dir;
  WritePng(dir / "sub/t.png", 1, 1, 3, {11, 22, 33});
  const std::vector<unsigned char> expected = {11, 22, 33};
  EXPECT_EQ(Read2d(LoadModelTexture("sub/t.png", dir.Path())), expected);
  EXPECT_EQ(Read2d(LoadModelTexture("t.png", dir / "sub")), expected);
  // An empty directory puts the file name under "/".
  const std::string absolute = dir / "sub/t.png";
  EXPECT_EQ(Read2d(LoadModelTexture(absolute.c_str() + 1, "")), expected);
}

TEST(Texture, CubemapFacesInListOrderAndMissingFacesStayComplete) {
  ScratchDir dir;
  std::vector<std::string> faces;
  for (int i = 0; i < 6; ++i) {
    faces.push_back(dir / ("face" + std::to_string(i) + ".png"));
    WritePng(faces.back(), 2, 2, 3, SolidRgb(2, 2, static_cast<unsigned char>(10 * i), 1, 2));
  }
  const GLuint cube = LoadCubemap(faces);
  for (GLenum i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ReadRgb(GL_TEXTURE_CUBE_MAP, cube, GL_TEXTURE_CUBE_MAP_POSITIVE_X + i),
              SolidRgb(2, 2, static_cast<unsigned char>(10 * i), 1, 2));
  }

  // A face that cannot be decoded (even the first) takes the others' size in the fallback
  // colour, so the cube map stays complete.
  std::vector<std::string> broken = faces;
  broken[0] = dir / "missing.png";
  broken[3] = dir / "also-missing.png";
  const GLuint mended = LoadCubemap(broken);
  for (GLenum i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const std::vector<unsigned char> expected =
        (i == 0 || i == 3) ? SolidRgb(2, 2, 255, 0, 255)
                           : SolidRgb(2, 2, static_cast<unsigned char>(10 * i), 1, 2);
    EXPECT_EQ(ReadRgb(GL_TEXTURE_CUBE_MAP, mended, GL_TEXTURE_CUBE_MAP_POSITIVE_X + i), expected);
  }

  const GLuint none = LoadCubemap(std::vector<std::string>(6, dir / "missing.png"));
  for (GLenum i = 0; i < 6; ++i) {
    EXPECT_EQ(ReadRgb(GL_TEXTURE_CUBE_MAP, none, GL_TEXTURE_CUBE_MAP_POSITIVE_X + i), kMagenta);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
