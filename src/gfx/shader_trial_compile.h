// shader_trial_compile.h: the GL half of the shader trial, what its worker process runs: a
// hidden context of the game's kind, and each pair built with the very calls the game makes.
#pragma once

#include "trial/shader_trial.h"

// The functions a shader trial worker runs (see trial/shader_trial.h).
ShaderTrialDriver GameShaderTrialDriver();
