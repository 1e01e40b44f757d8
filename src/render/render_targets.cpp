// render_targets.cpp: the fixed GL objects of the render pipeline, created once at start-up in
// a fixed order and only bound afterwards: the sky box, plane and screen-quad geometry, the cube
// map, the water and ground textures, three window-sized targets and the shadow map.
#include "render/render_targets.h"

#include <iostream>
#include <string>
#include <vector>

#include "gfx/texture.h"

namespace {

// The cube with corners at +-1, face by face, each face wound counter-clockwise seen from
// inside: the camera sits in the middle of it.
const float kSkyboxVertices[36 * 3] = {
    -1, 1,  -1, -1, -1, -1, 1,  -1, -1, 1,  -1, -1, 1,  1,  -1, -1, 1,  -1,  // z = -1
    -1, -1, 1,  -1, -1, -1, -1, 1,  -1, -1, 1,  -1, -1, 1,  1,  -1, -1, 1,   // x = -1
    1,  -1, -1, 1,  -1, 1,  1,  1,  1,  1,  1,  1,  1,  1,  -1, 1,  -1, -1,  // x = +1
    -1, -1, 1,  -1, 1,  1,  1,  1,  1,  1,  1,  1,  1,  -1, 1,  -1, -1, 1,   // z = +1
    -1, 1,  -1, 1,  1,  -1, 1,  1,  1,  1,  1,  1,  -1, 1,  1,  -1, 1,  -1,  // y = +1
    -1, -1, -1, -1, -1, 1,  1,  -1, -1, 1,  -1, -1, -1, -1, 1,  1,  -1, 1,   // y = -1
};

// The 2 x 2 square at y = -0.5: position, a constant (0, 0, 1) where model geometry keeps its
// normal, texture coordinates running to 20 (the ground tiles 20 times), and the real normal.
const float kPlaneVertices[6 * 11] = {
    -1, -0.5f, 1,  0, 0, 1, 20, 20, 0, 1, 0,  //
    1,  -0.5f, 1,  0, 0, 1, 20, 0,  0, 1, 0,  //
    1,  -0.5f, -1, 0, 0, 1, 0,  0,  0, 1, 0,  //
    -1, -0.5f, 1,  0, 0, 1, 20, 20, 0, 1, 0,  //
    1,  -0.5f, -1, 0, 0, 1, 0,  0,  0, 1, 0,  //
    -1, -0.5f, -1, 0, 0, 1, 0,  20, 0, 1, 0,  //
};

// The whole viewport in normalised device coordinates, with texture coordinates.
const float kScreenQuadVertices[6 * 4] = {
    -1, 1, 0, 1, -1, -1, 0, 0, 1, -1, 1, 0,  //
    -1, 1, 0, 1, 1,  -1, 1, 0, 1, 1,  1, 1,  //
};

const void* Offset(size_t bytes) {
  return reinterpret_cast<const void*>(bytes);
}

void CheckFramebufferComplete() {
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::cout << "ERROR::FRAMEBUFFER:: Framebuffer is not complete!" << std::endl;
  }
}

// One window-sized target: a colour texture and a depth-stencil renderbuffer.
void CreateWindowTarget(GLuint& target, GLuint& color, GLuint& depthStencil, unsigned width,
                        unsigned height, bool mirroredColor) {
  glGenFramebuffers(1, &target);
  glBindFramebuffer(GL_FRAMEBUFFER, target);
  color = CreateAttachmentTexture(false, width, height);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
  if (mirroredColor) {
    // The water shader's ripples push reflection lookups past the image's edge; mirroring
    // keeps them on plausible sky instead of a smeared border.
    glBindTexture(GL_TEXTURE_2D, color);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glGenRenderbuffers(1, &depthStencil);
  glBindRenderbuffer(GL_RENDERBUFFER, depthStencil);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                        static_cast<GLsizei>(height));
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                            depthStencil);
  CheckFramebufferComplete();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

}  // namespace

void CreateStaticGeometry(RenderTargets& targets) {
  // 1. Sky box: positions only.
  GLuint skyboxVBO = 0;
  glGenVertexArrays(1, &targets.skyboxVAO);
  glGenBuffers(1, &skyboxVBO);
  glBindVertexArray(targets.skyboxVAO);
  glBindBuffer(GL_ARRAY_BUFFER, skyboxVBO);
  glBufferData(GL_ARRAY_BUFFER, sizeof(kSkyboxVertices), kSkyboxVertices, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), Offset(0));
  glBindVertexArray(0);

  // 2. Cube map, faces in GL's +X, -X, +Y, -Y, +Z, -Z order.
  targets.cubemapTexture = LoadCubemap({std::begin(kSkyboxFaces), std::end(kSkyboxFaces)});

  // 3. Plane: 11 floats a vertex; the real normal sits at location 3.
  GLuint planeVBO = 0;
  const GLsizei planeStride = 11 * sizeof(float);
  glGenVertexArrays(1, &targets.planeVAO);
  glGenBuffers(1, &planeVBO);
  glBindVertexArray(targets.planeVAO);
  glBindBuffer(GL_ARRAY_BUFFER, planeVBO);
  glBufferData(GL_ARRAY_BUFFER, sizeof(kPlaneVertices), kPlaneVertices, GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, planeStride, Offset(0));
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, planeStride, Offset(3 * sizeof(float)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, planeStride, Offset(6 * sizeof(float)));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, planeStride, Offset(8 * sizeof(float)));
  glEnableVertexAttribArray(3);
  glBindVertexArray(0);

  // 4. Screen quad: 2D position and texture coordinates.
  GLuint quadVBO = 0;
  const GLsizei quadStride = 4 * sizeof(float);
  glGenVertexArrays(1, &targets.screenQuadVAO);
  glGenBuffers(1, &quadVBO);
  glBindVertexArray(targets.screenQuadVAO);
  glBindBuffer(GL_ARRAY_BUFFER, quadVBO);
  glBufferData(GL_ARRAY_BUFFER, sizeof(kScreenQuadVertices), kScreenQuadVertices, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, quadStride, Offset(0));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, quadStride, Offset(2 * sizeof(float)));
  glBindVertexArray(0);

  // 5. The water and ground images.
  LoadTexture(targets.waterTexture, kWaterTexturePath);
  LoadTexture(targets.groundTexture, kGroundTexturePath);
}

void CreateFramebuffers(RenderTargets& targets, unsigned width, unsigned height) {
  CreateWindowTarget(targets.sceneTarget, targets.sceneColor, targets.sceneDepthStencil, width,
                     height, false);
  CreateWindowTarget(targets.reflectionTarget, targets.reflectionColor,
                     targets.reflectionDepthStencil, width, height, true);
  CreateWindowTarget(targets.compositeTarget, targets.compositeColor, targets.compositeDepthStencil,
                     width, height, false);

  // The shadow map: plain depth values, read with texelFetch by the scene shader. Lookups
  // outside the light's view hit the border and read the greatest depth: never in shadow.
  glGenFramebuffers(1, &targets.shadowTarget);
  glGenTextures(1, &targets.depthMap);
  glBindTexture(GL_TEXTURE_2D, targets.depthMap);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, ShadowMapSize, ShadowMapSize, 0,
               GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
  const float borderColor[] = {1.0f, 1.0f, 1.0f, 1.0f};
  glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, borderColor);
  glBindFramebuffer(GL_FRAMEBUFFER, targets.shadowTarget);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, targets.depthMap, 0);
  glDrawBuffer(GL_NONE);
  glReadBuffer(GL_NONE);
  CheckFramebufferComplete();
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

GLuint CreateAttachmentTexture(bool depthStencil, unsigned width, unsigned height) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  const GLsizei w = static_cast<GLsizei>(width);
  const GLsizei h = static_cast<GLsizei>(height);
  if (depthStencil) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH24_STENCIL8, w, h, 0, GL_DEPTH_STENCIL,
                 GL_UNSIGNED_INT_24_8, nullptr);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}
