// render_targets.h: the render pipeline's fixed GL objects: the sky box, plane and screen-quad
// geometry, the cube map, the water and ground textures, and the four off-screen framebuffers.
#pragma once

#include "gfx/gl.h"

constexpr int ShadowMapSize = 4096;  // side of depthMap and of the shadow pass's viewport

// The images start-up loads besides the models' own, relative to the working folder.
constexpr const char* kSkyboxFaces[6] = {"textures/skybox/posx.jpg", "textures/skybox/negx.jpg",
                                         "textures/skybox/posy.jpg", "textures/skybox/negy.jpg",
                                         "textures/skybox/posz.jpg", "textures/skybox/negz.jpg"};
constexpr const char* kWaterTexturePath = "textures/defaultwater.png";
constexpr const char* kGroundTexturePath = "textures/ground.jpg";

struct RenderTargets {
  GLuint skyboxVAO = 0;
  GLuint planeVAO = 0;
  GLuint screenQuadVAO = 0;
  GLuint cubemapTexture = 0;
  GLuint waterTexture = 0;
  GLuint groundTexture = 0;
  GLuint sceneTarget = 0, sceneColor = 0, sceneDepthStencil = 0;
  GLuint reflectionTarget = 0, reflectionColor = 0, reflectionDepthStencil = 0;
  GLuint compositeTarget = 0, compositeColor = 0, compositeDepthStencil = 0;
  GLuint shadowTarget = 0, depthMap = 0;
};

// Start-up: geometry, cube map and the two image textures.
void CreateStaticGeometry(RenderTargets& targets);
// Start-up: the three window-sized targets and the shadow target; framebuffer 0 bound after.
void CreateFramebuffers(RenderTargets& targets, unsigned width, unsigned height);
// An empty width x height texture for a framebuffer attachment (colour or depth-stencil).
GLuint CreateAttachmentTexture(bool depthStencil, unsigned width, unsigned height);
