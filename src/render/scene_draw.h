// scene_draw.h: draws the world in its fixed order with one given shader (optionally followed
// by the sky box), and the textured ground plane. Drawing the ducks is also where the canoe
// collects them: the first call of a frame (the shadow pass) decides.
#pragma once

#include "gfx/shader.h"
#include "render/render_targets.h"
#include "scene/game.h"

// Ducks (collecting each touched one right after drawing it), canoe chain, obstacles, walls,
// the chrome statue with the sky on unit 2, then the sky box at the far plane if asked.
// Leaves skyboxShader current when withSkybox, otherwise shader.
void DrawScene(Game& game, const RenderTargets& targets, bool withSkybox, Shader shader,
               Shader skyboxShader);

// The ground plane with the ground texture on unit 0. Leaves shader current.
void DrawFloor(const World& world, const RenderTargets& targets, Shader shader);
