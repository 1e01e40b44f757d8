// world.cpp: placeholder until the scene lands.
#include "scene/world.h"

void BuildSceneNodes(World&, const WorldModels&) {}
void BuildWaterVolume(World&) {}
void ScaleGroundAndWater(World&) {}
void SetArmsStartPose(World&) {}
