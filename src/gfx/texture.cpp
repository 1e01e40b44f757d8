// texture.cpp: material textures, stand-alone 2D textures and the sky box cube map, decoded
// by SOIL as tightly packed 8-bit RGB (alpha dropped, no flip: the first row is t = 0).
//
// Uploads rely on GL_UNPACK_ALIGNMENT 1, which the text renderer sets once at start-up before
// any image is loaded. Nothing here reports a failure: an image that cannot be decoded still
// yields a named, parameterised texture whose level 0 is one magenta texel, so it samples to
// a defined (and plainly visible) colour instead of an incomplete texture's black.
#include "gfx/texture.h"

#include <vector>

#include "trial/decoders.h"
#include "trial/file_trial.h"

namespace {

// The stand-in texel of an image that could not be decoded.
const unsigned char kFallbackTexel[3] = {255, 0, 255};

// The decoded pixels of `path`: from the file trial's worker (nothing when the file was
// refused), or decoded here where the caller chose that (DecodeWhere::InProcess). A model's
// texture (`folder` set) is read only inside the model's folder.
DecodedPixels ObtainPixels(const std::string& path, const std::string& folder = std::string(),
                           const char* name = nullptr) {
  const char* refusal = nullptr;
  const TrialRecord* tried = PassedTrial(path, refusal);
  DecodedPixels pixels;
  if (tried) {
    ParsePixels(tried->payload, pixels);
  } else if (!refusal) {
    pixels = name ? DecodeTextureFile(folder, name) : DecodeImageFile(path);
  }
  return pixels;
}

// Level 0 of `target` from the image, or the 1 x 1 fallback texel when it has no pixels.
void UploadLevel0(GLenum target, const DecodedPixels& image) {
  if (!image.rgb.empty()) {
    glTexImage2D(target, 0, GL_RGB, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.rgb.data());
  } else {
    glTexImage2D(target, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, kFallbackTexel);
  }
}

}  // namespace

GLuint LoadModelTexture(const char* fileName, std::string directory) {
  const std::string path = directory + '/' + fileName;
  GLuint textureId = 0;
  glGenTextures(1, &textureId);
  DecodedPixels image = ObtainPixels(path, directory, fileName);

  glBindTexture(GL_TEXTURE_2D, textureId);
  UploadLevel0(GL_TEXTURE_2D, image);
  glGenerateMipmap(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

  glBindTexture(GL_TEXTURE_2D, 0);
  return textureId;
}

void LoadTexture(GLuint& textureId, const char* path) {
  glGenTextures(1, &textureId);
  glBindTexture(GL_TEXTURE_2D, textureId);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
  // Mipmaps are made but the filter samples level 0 only.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

  const DecodedPixels image = ObtainPixels(path);
  UploadLevel0(GL_TEXTURE_2D, image);
  glGenerateMipmap(GL_TEXTURE_2D);

  glBindTexture(GL_TEXTURE_2D, 0);
}

GLuint LoadCubemap(std::vector<std::string> faces) {
  GLuint textureId = 0;
  glGenTextures(1, &textureId);
  glBindTexture(GL_TEXTURE_CUBE_MAP, textureId);

  // A cube map is only complete when all six faces are square and the same size, so a face
  // that cannot be decoded is filled with the fallback colour at the size of the faces that
  // could (1 x 1 when none could), after the loop has seen them all.
  bool faceMissing[6] = {true, true, true, true, true, true};
  int fillWidth = 1;
  int fillHeight = 1;
  bool haveFillSize = false;
  for (size_t i = 0; i < faces.size() && i < 6; ++i) {
    const DecodedPixels image = ObtainPixels(faces[i]);
    if (image.rgb.empty()) continue;
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + static_cast<GLenum>(i), 0, GL_RGB, image.width,
                 image.height, 0, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    faceMissing[i] = false;
    if (!haveFillSize) {
      fillWidth = image.width;
      fillHeight = image.height;
      haveFillSize = true;
    }
  }
  for (GLenum i = 0; i < 6; ++i) {
    if (!faceMissing[i]) continue;
    std::vector<unsigned char> fill(static_cast<size_t>(fillWidth) * fillHeight * 3);
    for (size_t p = 0; p < fill.size(); p += 3) {
      fill[p] = kFallbackTexel[0];
      fill[p + 1] = kFallbackTexel[1];
      fill[p + 2] = kFallbackTexel[2];
    }
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_RGB, fillWidth, fillHeight, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, fill.data());
  }

  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  return textureId;
}
