// frame_render.h: the render step of a frame: shadow pass, view selection, scene pass and
// water mask, reflection pass, water composite, present, HUD. Duck collection happens inside
// (DrawScene) and the game-over decision in the HUD.
#pragma once

#include "gfx/text_renderer.h"
#include "render/pass_timers.h"
#include "render/render_targets.h"
#include "render/shader_set.h"
#include "scene/game.h"

struct Renderer {
  ShaderSet* shaders = nullptr;
  TextRenderer* text = nullptr;
  RenderTargets* targets = nullptr;
  PassTimers* timers = nullptr;  // the benchmark's per-pass timing; null in the game
};

void RenderFrame(Game& game, Renderer& renderer);
