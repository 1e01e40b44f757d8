// hud.h: the text overlay drawn last into the window: seconds left or "GAME OVER", the
// optional frame time and the ducks left, in white. Which lines show (and the game-over
// decision) comes from BuildHudLines; this only draws them.
#pragma once

#include "gfx/shader.h"
#include "gfx/text_renderer.h"
#include "scene/game.h"

// Draws with depth testing off (the present pass turned it off) and turns it back on after.
void DrawHud(Game& game, TextRenderer& text, Shader textShader);
// The help panel's lines when it shows, after the overlay and in the state the overlay leaves
// (text program and projection in use, depth test on); draws nothing while it is hidden.
void DrawHelpPanel(const Game& game, TextRenderer& text, Shader textShader);
