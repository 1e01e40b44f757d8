// canoe.cpp: placeholder until the scene lands.
#include "scene/canoe.h"

const glm::vec3 canoeForward(1.0f, 0.0f, 0.0f);
bool CanoeOverlaps(const SceneNode&, SceneNode) { return false; }
void ProcessCanoeInput(World&, Camera&, const bool (&)[KeyCount], float) {}
void ResolveCanoeCollisions(World&, glm::mat4) {}
void CanoeFallStep(World&, float) {}
