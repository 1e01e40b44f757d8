// canoe.h: keyboard control of the free camera and the canoe, box collision against obstacles
// and walls, and the downward half of the jump with its landing.
#pragma once

#include <glm/glm.hpp>

#include "scene/camera.h"
#include "scene/world.h"

extern const glm::vec3 canoeForward;  // (1, 0, 0): the canoe's bow in its own frame

// The canoe's paces, named once for the keyboard step and for whatever listens to it.
constexpr float kCanoeSpeed = 3.0f;             // units/s with W or S
constexpr float kCanoeSprintSpeed = 6.0f;       // units/s with the left Shift held too
constexpr float kCanoeTurnRate = 50.0f;         // degrees/s with A or D
constexpr float kCanoeSprintTurnRate = 100.0f;  // degrees/s with the left Shift held too

constexpr int KeyCount = 1024;

// Closed-box overlap of the canoe's box with a snapshot of another node's box.
bool CanoeOverlaps(const SceneNode& canoe, SceneNode other);

// Arrow keys move the camera; W/S/A/D (+ left Shift) move the canoe, each move followed by
// ResolveCanoeCollisions against the transform saved at the start of the call.
void ProcessCanoeInput(World& world, Camera& camera, const bool (&keyState)[KeyCount],
                       float deltaTime);
void ResolveCanoeCollisions(World& world, glm::mat4 saved);
void CanoeFallStep(World& world, float deltaTime);  // fall at 6 units/s, land on water/obstacle
