// canoe.cpp: the keyboard step (free camera, then the canoe's eight moves, each followed by a
// collision test), closed-box overlap, and the jump's fall with its landing.
#include "scene/canoe.h"

#include "scene/game_keys.h"

const glm::vec3 canoeForward(1.0f, 0.0f, 0.0f);

namespace {

void RestoreCanoe(SceneNode& canoe, const glm::mat4& saved) {
  canoe.transform = saved;
  canoe.UpdateBounds();
}

// Bottom of the canoe's box onto the top of another box.
void SetCanoeOnto(SceneNode& canoe, const SceneNode& surface) {
  canoe.Translate(
      glm::vec3(0.0f, (surface.size.y + surface.minCorner.y) - canoe.minCorner.y, 0.0f));
}

}  // namespace

bool CanoeOverlaps(const SceneNode& canoe, SceneNode other) {
  const glm::vec3 canoeMax = canoe.minCorner + canoe.size;
  const glm::vec3 otherMax = other.minCorner + other.size;
  // Apart only when strictly separated on some axis: touching faces, edges or points overlap.
  if (other.minCorner.x > canoeMax.x) return false;
  if (canoe.minCorner.x > otherMax.x) return false;
  if (other.minCorner.y > canoeMax.y) return false;
  if (canoe.minCorner.y > otherMax.y) return false;
  if (other.minCorner.z > canoeMax.z) return false;
  if (canoe.minCorner.z > otherMax.z) return false;
  return true;
}

void ProcessCanoeInput(World& world, Camera& camera, const bool (&keyState)[KeyCount],
                       float deltaTime) {
  if (keyState[kKeyUp]) camera.Move(CameraMove::Forward, deltaTime);
  if (keyState[kKeyDown]) camera.Move(CameraMove::Backward, deltaTime);
  if (keyState[kKeyLeft]) camera.Move(CameraMove::Left, deltaTime);
  if (keyState[kKeyRight]) camera.Move(CameraMove::Right, deltaTime);

  SceneNode& canoe = world.canoeNode;
  // Every collision this frame goes back to here, undoing all of the frame's moves so far.
  const glm::mat4 saved = canoe.transform;
  const bool forward = keyState[kKeyW];
  const bool backward = keyState[kKeyS];
  const bool left = keyState[kKeyA];
  const bool right = keyState[kKeyD];
  const bool shift = keyState[kKeyLeftShift];  // the right Shift does nothing
  const glm::vec3 yAxis(0.0f, 1.0f, 0.0f);
  const float dt = deltaTime;

  if (forward && !shift) {
    canoe.Translate(canoeForward * (dt * kCanoeSpeed));
    ResolveCanoeCollisions(world, saved);
  }
  if (backward && !shift) {
    canoe.Translate(canoeForward * (dt * -kCanoeSpeed));
    ResolveCanoeCollisions(world, saved);
  }
  if (forward && shift) {
    canoe.Translate(canoeForward * (dt * kCanoeSprintSpeed));
    ResolveCanoeCollisions(world, saved);
  }
  if (backward && shift) {
    canoe.Translate(canoeForward * (dt * -kCanoeSprintSpeed));
    ResolveCanoeCollisions(world, saved);
  }
  if (left && !shift) {
    canoe.Rotate(dt * kCanoeTurnRate, yAxis);
    ResolveCanoeCollisions(world, saved);
  }
  if (right && !shift) {
    canoe.Rotate(dt * -1.0f * kCanoeTurnRate, yAxis);
    ResolveCanoeCollisions(world, saved);
  }
  if (left && shift) {
    canoe.Rotate(dt * kCanoeSprintTurnRate, yAxis);
    ResolveCanoeCollisions(world, saved);
  }
  if (right && shift) {
    canoe.Rotate(dt * -1.0f * kCanoeSprintTurnRate, yAxis);
    ResolveCanoeCollisions(world, saved);
  }
}

void ResolveCanoeCollisions(World& world, glm::mat4 saved) {
  SceneNode& canoe = world.canoeNode;
  for (const SceneNode& obstacle : world.obstacles) {
    if (CanoeOverlaps(canoe, obstacle)) {
      RestoreCanoe(canoe, saved);
      break;  // the remaining obstacle is not tested
    }
  }
  // Every wall is tested, each against the box as the tests before it left it.
  const SceneNode* walls[] = {&world.poolWallZNeg, &world.poolWallZPos, &world.poolWallXPos,
                              &world.poolWallXNeg};
  for (const SceneNode* wall : walls) {
    if (CanoeOverlaps(canoe, *wall)) RestoreCanoe(canoe, saved);
  }
}

void CanoeFallStep(World& world, float deltaTime) {
  SceneNode& canoe = world.canoeNode;
  const float topBefore = canoe.MaxCorner().y;
  canoe.Translate(glm::vec3(0.0f, static_cast<float>(static_cast<double>(deltaTime) * -6.0), 0.0f));
  // The water is tested against the box the canoe swept through in this step, not only where
  // it ended: one long frame (over about 0.18 s) could otherwise carry it clean through the thin
  // water volume, and nothing below would ever stop the fall. For any step that ends touching
  // the water the result is the same as testing the end position.
  SceneNode swept = canoe;
  swept.size.y = topBefore - canoe.minCorner.y;
  if (CanoeOverlaps(swept, world.waterVolume)) {
    SetCanoeOnto(canoe, world.waterVolume);
    canoe.falling = false;
  }
  // Tested even after a water landing: a canoe beside a low obstacle ends up on its top.
  for (const SceneNode& obstacle : world.obstacles) {
    if (CanoeOverlaps(canoe, obstacle) &&
        canoe.minCorner.y >= obstacle.minCorner.y - obstacle.size.y) {
      SetCanoeOnto(canoe, obstacle);
      canoe.falling = false;
      break;
    }
  }
}
