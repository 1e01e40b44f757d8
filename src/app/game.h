// game.h: the state of the one running game and the input handlers that change it. The record
// itself lives with the scene, where the render passes read it without reaching up into the
// application shell.
#pragma once

#include "app/input.h"
#include "scene/game.h"
