// autopilot.cpp: planning the duck order, paths around the obstacles, the jump onto the
// platform, and the keys of each frame. Angles are radians here; a heading is the canoe's bow
// direction on the water plane, measured so that A (a positive turn about +y) increases it.
#include "autopilot.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>

#include "app/scripted_play.h"

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kPassMargin = 1.9f;    // canoe centre to an obstacle: more than its half-diagonal
constexpr float kCornerMargin = 2.5f;  // detour points beyond an obstacle's corners
constexpr float kEntryRun = 4.0f;      // straight run before the platform
constexpr float kLookAhead = 3.0f;     // lane following: aim this far ahead on the lane
constexpr float kNoShiftTurn = 50.0f * kDegToRad;  // turn rates, radians per second
constexpr float kShiftTurn = 100.0f * kDegToRad;
constexpr float kNoShiftSpeed = 3.0f;

glm::vec2 Flat(glm::vec3 v) {
  return glm::vec2(v.x, v.z);
}

FlatBox Footprint(const SceneNode& node) {
  return FlatBox{Flat(node.minCorner), Flat(node.MaxCorner())};
}

FlatBox Inflated(const FlatBox& b, float margin) {
  return FlatBox{b.lo - glm::vec2(margin), b.hi + glm::vec2(margin)};
}

bool Overlap(const FlatBox& a, const FlatBox& b) {
  return a.lo.x <= b.hi.x && b.lo.x <= a.hi.x && a.lo.y <= b.hi.y && b.lo.y <= a.hi.y;
}

float DistanceTo(const FlatBox& b, glm::vec2 p) {
  const glm::vec2 d = glm::max(glm::max(b.lo - p, p - b.hi), glm::vec2(0.0f));
  return glm::length(d);
}

// Whether the segment a-b meets the closed box (Liang-Barsky clipping).
bool SegmentMeets(const FlatBox& box, glm::vec2 a, glm::vec2 b) {
  float t0 = 0.0f, t1 = 1.0f;
  const glm::vec2 d = b - a;
  for (int axis = 0; axis < 2; ++axis) {
    if (std::fabs(d[axis]) < 1e-9f) {
      if (a[axis] < box.lo[axis] || a[axis] > box.hi[axis]) return false;
      continue;
    }
    float ta = (box.lo[axis] - a[axis]) / d[axis];
    float tb = (box.hi[axis] - a[axis]) / d[axis];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  return true;
}

float Wrap(float angle) {
  while (angle > kPi) angle -= 2.0f * kPi;
  while (angle < -kPi) angle += 2.0f * kPi;
  return angle;
}

// Heading of a direction on the water plane: 0 along +x, growing toward -z (a left turn).
float HeadingOf(glm::vec2 dir) {
  return std::atan2(-dir.y, dir.x);
}

float CanoeHeading(const SceneNode& canoe) {
  return HeadingOf(glm::vec2(canoe.transform[0].x, canoe.transform[0].z));
}

glm::vec2 CanoePosition(const SceneNode& canoe) {
  return glm::vec2(canoe.transform[3].x, canoe.transform[3].z);
}

// The lane onto the platform: where the straight run starts, and where the canoe comes down
// after jumping off the far side.
struct Lane {
  glm::vec2 entry{0.0f};
  glm::vec2 exit{0.0f};
};

// Where the box begins and ends along the axis u (one of +-x, +-z), as coordinates along u.
float NearFace(const FlatBox& b, glm::vec2 u) {
  return std::min(u.x * b.lo.x, u.x * b.hi.x) + std::min(u.y * b.lo.y, u.y * b.hi.y);
}
float FarFace(const FlatBox& b, glm::vec2 u) {
  return std::max(u.x * b.lo.x, u.x * b.hi.x) + std::max(u.y * b.lo.y, u.y * b.hi.y);
}

Lane LaneOf(const Autopilot& pilot, const Game& game, glm::vec2 u) {
  const FlatBox plat = Footprint(game.world.obstacles[pilot.platform]);
  const glm::vec2 duck = Flat(game.world.ducks[pilot.highDuck].transform[3]);
  const float along = glm::dot(duck, u);
  Lane lane;
  lane.entry = duck + u * (NearFace(plat, u) - pilot.halfLength - kEntryRun - along);
  lane.exit = duck + u * (FarFace(plat, u) + pilot.halfLength + 3.0f - along);
  return lane;
}

// A lane is usable when the canoe's corridor from its entry to its exit misses every other
// obstacle and both ends lie inside the pool.
bool LaneUsable(const Autopilot& pilot, const Game& game, glm::vec2 u, const Lane& lane) {
  const glm::vec2 side(std::fabs(u.y), std::fabs(u.x));
  const glm::vec2 a = lane.entry - u * pilot.halfLength;
  const glm::vec2 b = lane.exit + u * pilot.halfLength;
  const glm::vec2 half = side * (pilot.halfBeam + 0.4f);
  const FlatBox corridor{glm::min(a, b) - half, glm::max(a, b) + half};
  for (int i = 0; i < static_cast<int>(game.world.obstacles.size()); ++i) {
    if (i != pilot.platform && Overlap(corridor, Footprint(game.world.obstacles[i]))) return false;
  }
  const FlatBox& pool = pilot.pool;
  for (glm::vec2 p : {lane.entry, lane.exit}) {
    if (p.x < pool.lo.x || p.x > pool.hi.x || p.y < pool.lo.y || p.y > pool.hi.y) return false;
  }
  return true;
}

// A stop on the tour: where the canoe arrives, where it leaves and the headings there.
struct Stop {
  glm::vec2 in{0.0f};
  glm::vec2 out{0.0f};
  bool fixedHeading = false;  // the platform: arrive and leave along the lane
  glm::vec2 dir{1.0f, 0.0f};
};

// Length of a tour in units, each turn counted as the distance the canoe could have paddled
// while turning (100 degrees per second against 6 units per second).
float TourCost(const Stop* stops, const int* order, int n, glm::vec2 start, glm::vec2 startDir) {
  float cost = 0.0f;
  glm::vec2 at = start, dir = startDir;
  for (int k = 0; k < n; ++k) {
    const Stop& s = stops[order[k]];
    glm::vec2 leg = s.in - at;
    const float length = glm::length(leg);
    if (length > 1e-4f) {
      leg /= length;
      cost += length + std::fabs(Wrap(HeadingOf(leg) - HeadingOf(dir))) / kShiftTurn * 6.0f;
      dir = leg;
    }
    if (s.fixedHeading) {
      cost += std::fabs(Wrap(HeadingOf(s.dir) - HeadingOf(dir))) / kShiftTurn * 6.0f;
      cost += glm::length(s.out - s.in) * 1.5f;  // the slow run and the jumps
      dir = s.dir;
    }
    at = s.out;
  }
  return cost;
}

// Nearest neighbour, then reversing stretches while that shortens the tour.
float PlanTour(const Stop* stops, int n, glm::vec2 start, glm::vec2 startDir, int* order) {
  bool used[DuckCount + 1] = {};
  glm::vec2 at = start;
  for (int k = 0; k < n; ++k) {
    int best = -1;
    float bestLength = 0.0f;
    for (int i = 0; i < n; ++i) {
      const float length = glm::length(stops[i].in - at);
      if (!used[i] && (best < 0 || length < bestLength)) best = i, bestLength = length;
    }
    used[best] = true;
    order[k] = best;
    at = stops[best].out;
  }
  float cost = TourCost(stops, order, n, start, startDir);
  for (bool improved = true; improved;) {
    improved = false;
    for (int i = 0; i < n - 1; ++i) {
      for (int j = i + 1; j < n; ++j) {
        std::reverse(order + i, order + j + 1);
        const float c = TourCost(stops, order, n, start, startDir);
        if (c < cost - 1e-3f) {
          cost = c;
          improved = true;
        } else {
          std::reverse(order + i, order + j + 1);
        }
      }
    }
  }
  return cost;
}

// The first point to steer for on the way from `from` to `goal`: straight when no obstacle is
// in the way, otherwise by the shortest chain of points beyond the obstacles' corners.
glm::vec2 NextWaypoint(const Autopilot& pilot, glm::vec2 from, glm::vec2 goal) {
  constexpr int kMaxNodes = 2 + 4 * kMaxBlocks;
  glm::vec2 nodes[kMaxNodes];
  int count = 0;
  nodes[count++] = from;
  nodes[count++] = goal;
  for (int b = 0; b < pilot.blockCount; ++b) {
    const FlatBox c = Inflated(pilot.blocks[b], kCornerMargin);
    for (glm::vec2 corner : {c.lo, glm::vec2(c.hi.x, c.lo.y), c.hi, glm::vec2(c.lo.x, c.hi.y)}) {
      nodes[count++] = glm::clamp(corner, pilot.pool.lo, pilot.pool.hi);
    }
  }
  // A segment is clear when it keeps the pass margin from every obstacle; an end already
  // closer than that (the canoe beside the platform, a duck near it) shrinks the margin, so
  // moving away from the obstacle stays possible.
  auto clear = [&pilot](glm::vec2 a, glm::vec2 b) {
    for (int i = 0; i < pilot.blockCount; ++i) {
      const FlatBox& block = pilot.blocks[i];
      const float margin =
          std::min({kPassMargin, DistanceTo(block, a) - 0.05f, DistanceTo(block, b) - 0.05f});
      if (margin <= 0.0f) continue;
      if (SegmentMeets(Inflated(block, margin), a, b)) return false;
    }
    return true;
  };
  if (clear(from, goal)) return goal;

  // Dijkstra over the few nodes; node 0 is the start.
  float dist[kMaxNodes];
  int previous[kMaxNodes];
  bool done[kMaxNodes] = {};
  for (int i = 0; i < count; ++i) dist[i] = 1e30f, previous[i] = -1;
  dist[0] = 0.0f;
  for (int round = 0; round < count; ++round) {
    int u = -1;
    for (int i = 0; i < count; ++i) {
      if (!done[i] && (u < 0 || dist[i] < dist[u])) u = i;
    }
    if (u < 0 || dist[u] >= 1e30f) break;
    done[u] = true;
    for (int v = 0; v < count; ++v) {
      if (done[v] || !clear(nodes[u], nodes[v])) continue;
      const float d = dist[u] + glm::length(nodes[v] - nodes[u]);
      if (d < dist[v]) dist[v] = d, previous[v] = u;
    }
  }
  if (previous[1] < 0) return goal;  // no way round found: head straight, backing off if stuck
  int step = 1;
  while (previous[step] != 0) step = previous[step];
  return nodes[step];
}

// Turn toward a bearing: no turn inside half a frame's turn, so the bow settles instead of
// swinging past the mark.
void TurnToward(PilotKeys& keys, float error, float frameTurn) {
  if (std::fabs(error) <= std::max(frameTurn * 0.5f, 0.002f)) return;
  (error > 0.0f ? keys.left : keys.right) = true;
}

// Steer for a point: turn in place while it lies well off the bow (so the canoe never circles a
// point inside its turning circle), otherwise paddle and turn together.
PilotKeys SteerFor(glm::vec2 position, float heading, glm::vec2 point, bool shift, float dt) {
  PilotKeys keys;
  keys.shift = shift;
  const glm::vec2 to = point - position;
  const float distance = glm::length(to);
  if (distance < 1e-4f) return keys;
  const float error = Wrap(HeadingOf(to) - heading);
  TurnToward(keys, error, dt * (shift ? kShiftTurn : kNoShiftTurn));
  const float a = std::fabs(error);
  keys.forward = !(a > 45.0f * kDegToRad || (a > 20.0f * kDegToRad && distance < 3.5f));
  return keys;
}

}  // namespace

int PilotTarget(const Autopilot& pilot, const Game& game) {
  for (int k = 0; k < pilot.orderCount; ++k) {
    if (game.state.duckAlive[pilot.order[k]]) return pilot.order[k];
  }
  return -1;
}

void PlanAutopilot(Autopilot& pilot, const Game& game) {
  pilot = Autopilot{};
  const World& world = game.world;
  // Where the canoe's centre may go: inside the walls' inner faces, by half a canoe and more.
  const float keepOff = 3.0f;
  pilot.pool.lo = glm::vec2(world.poolWallXNeg.MaxCorner().x, world.poolWallZNeg.MaxCorner().z) +
                  glm::vec2(keepOff);
  pilot.pool.hi = glm::vec2(world.poolWallXPos.minCorner.x, world.poolWallZPos.minCorner.z) -
                  glm::vec2(keepOff);
  pilot.halfLength = world.canoeNode.size.x * 0.5f;
  pilot.halfBeam = world.canoeNode.size.z * 0.5f;
  pilot.waterTop = world.waterVolume.MaxCorner().y;

  // Obstacles the canoe cannot pass between become one block.
  for (const SceneNode& obstacle : world.obstacles) {
    FlatBox f = Footprint(obstacle);
    int merged = -1;
    for (int b = 0; b < pilot.blockCount; ++b) {
      if (Overlap(Inflated(pilot.blocks[b], kPassMargin), Inflated(f, kPassMargin))) merged = b;
    }
    if (merged >= 0) {
      FlatBox& m = pilot.blocks[merged];
      m = FlatBox{glm::min(m.lo, f.lo), glm::max(m.hi, f.hi)};
    } else if (pilot.blockCount < kMaxBlocks) {
      pilot.blocks[pilot.blockCount++] = f;
    }
  }

  // The duck out of reach from the water: above the water, over an obstacle's footprint.
  for (int i = 0; i < DuckCount && pilot.highDuck < 0; ++i) {
    if (world.ducks[i].minCorner.y <= pilot.waterTop + pilot.halfBeam) continue;
    const glm::vec2 at = Flat(world.ducks[i].transform[3]);
    for (int o = 0; o < static_cast<int>(world.obstacles.size()); ++o) {
      if (DistanceTo(Footprint(world.obstacles[o]), at) == 0.0f) {
        pilot.highDuck = i;
        pilot.platform = o;
      }
    }
  }

  Stop stops[DuckCount];
  int duckOfStop[DuckCount];
  int n = 0, platformStop = -1;
  for (int i = 0; i < DuckCount; ++i) {
    if (!game.state.duckAlive[i]) continue;
    const glm::vec2 at = Flat(world.ducks[i].transform[3]);
    if (i == pilot.highDuck) platformStop = n;
    stops[n] = Stop{at, at, false, glm::vec2(1.0f, 0.0f)};
    duckOfStop[n++] = i;
  }
  const glm::vec2 start = CanoePosition(world.canoeNode);
  const float heading = CanoeHeading(world.canoeNode);
  const glm::vec2 startDir(std::cos(heading), -std::sin(heading));

  int order[DuckCount], bestOrder[DuckCount];
  float bestCost = 1e30f;
  const glm::vec2 lanes[] = {{1.0f, 0.0f}, {-1.0f, 0.0f}, {0.0f, 1.0f}, {0.0f, -1.0f}};
  for (glm::vec2 u : lanes) {
    if (platformStop >= 0) {
      const Lane lane = LaneOf(pilot, game, u);
      if (!LaneUsable(pilot, game, u, lane)) continue;
      stops[platformStop] = Stop{lane.entry, lane.exit, true, u};
    }
    const float cost = PlanTour(stops, n, start, startDir, order);
    if (cost < bestCost) {
      bestCost = cost;
      std::copy(order, order + n, bestOrder);
      pilot.laneDir = u;
    }
    if (platformStop < 0) break;  // every lane plans the same tour
  }
  for (int k = 0; k < n && bestCost < 1e30f; ++k) pilot.order[k] = duckOfStop[bestOrder[k]];
  pilot.orderCount = bestCost < 1e30f ? n : 0;
  pilot.lastPosition = start;
  pilot.lastHeading = heading;
}

PilotKeys DecideKeys(Autopilot& pilot, const Game& game) {
  if (game.state.gameOver) return PilotKeys{};
  const SceneNode& canoe = game.world.canoeNode;
  const float dt = game.clock.deltaTime;  // what the next keyboard step will move by
  const glm::vec2 position = CanoePosition(canoe);
  const float heading = CanoeHeading(canoe);
  const bool airborne = canoe.rising || canoe.falling;
  const bool onTop = !airborne && canoe.minCorner.y > pilot.waterTop + 0.2f;

  // Stuck: keys held over a whole stretch of frames and nothing moved (every move undone by a
  // collision). Back off straight and try again.
  const PilotKeys& last = pilot.lastKeys;
  const bool pushed = last.forward || last.backward || last.left || last.right;
  const bool still = glm::length(position - pilot.lastPosition) < 1e-5f &&
                     std::fabs(Wrap(heading - pilot.lastHeading)) < 1e-6f;
  pilot.stuckSeconds = (pushed && still && !airborne && dt > 0.0f) ? pilot.stuckSeconds + dt : 0.0f;
  pilot.lastPosition = position;
  pilot.lastHeading = heading;
  if (pilot.stuckSeconds > 0.3f && !onTop) {
    pilot.stuckSeconds = 0.0f;
    pilot.backingSeconds = 0.6f;
  }

  PilotKeys keys;
  const int target = PilotTarget(pilot, game);
  if (target < 0) {
    // Every duck is collected: nothing more to do.
  } else if (pilot.backingSeconds > 0.0f) {
    pilot.backingSeconds -= dt;
    keys.backward = true;
  } else if (target == pilot.highDuck) {
    // Onto the platform along the lane: a straight run, a jump that carries the canoe over the
    // platform's edge (it lands on the top), a second jump from the top that lifts the canoe's
    // box into the duck's.
    const glm::vec2 u = pilot.laneDir;
    const Lane lane = LaneOf(pilot, game, u);
    const glm::vec2 duck = Flat(game.world.ducks[target].transform[3]);
    const glm::vec2 side(-u.y, u.x);
    const float along = glm::dot(position - duck, u);
    const float lateral = glm::dot(position - duck, side);
    const float entryAlong = glm::dot(lane.entry - duck, u);
    if (airborne || onTop) {
      keys.forward = true;
      keys.jump = onTop;
    } else {
      if (pilot.inLane && (std::fabs(lateral) > 2.0f || along < entryAlong - 4.0f)) {
        pilot.inLane = false;
      }
      if (!pilot.inLane && glm::length(position - lane.entry) < 1.5f) pilot.inLane = true;
      if (!pilot.inLane) {
        keys = SteerFor(position, heading, NextWaypoint(pilot, position, lane.entry), true, dt);
      } else {
        const FlatBox plat = Footprint(game.world.obstacles[pilot.platform]);
        const FlatBox box = Footprint(canoe);
        const float gap = NearFace(plat, u) - FarFace(box, u);
        const bool aligned =
            std::fabs(Wrap(heading - HeadingOf(u))) < 5.0f * kDegToRad && std::fabs(lateral) < 0.3f;
        if (gap < 1.0f && !aligned) {
          pilot.backingSeconds = 0.8f;  // too close to straighten out: back up the lane
          keys.backward = true;
        } else {
          keys = SteerFor(position, heading, duck + u * (along + kLookAhead), false, dt);
          keys.jump = aligned && gap < 0.25f + kNoShiftSpeed * dt;
        }
      }
    }
  } else if (airborne || onTop) {
    // Off the platform (or anything the canoe landed on): jump and paddle on along the bow.
    keys.forward = true;
    keys.shift = true;
    keys.jump = onTop;
    pilot.inLane = false;
  } else {
    pilot.inLane = false;
    const glm::vec2 goal = Flat(game.world.ducks[target].transform[3]);
    keys = SteerFor(position, heading, NextWaypoint(pilot, position, goal), true, dt);
  }
  pilot.lastKeys = keys;
  return keys;
}

void SteerAutopilot(Autopilot& pilot, ScriptedPlay& play) {
  const PilotKeys keys = DecideKeys(pilot, play.game);
  const struct {
    int key;
    bool held;
  } wanted[] = {{GLFW_KEY_W, keys.forward},
                {GLFW_KEY_S, keys.backward},
                {GLFW_KEY_A, keys.left},
                {GLFW_KEY_D, keys.right},
                {GLFW_KEY_LEFT_SHIFT, keys.shift}};
  for (const auto& w : wanted) {
    if (play.game.input.keyState[w.key] != w.held) {
      ScheduleKey(play, play.frameIndex, w.key, w.held ? GLFW_PRESS : GLFW_RELEASE);
    }
  }
  if (keys.jump) {
    ScheduleKey(play, play.frameIndex, GLFW_KEY_SPACE, GLFW_PRESS);
    ScheduleKey(play, play.frameIndex, GLFW_KEY_SPACE, GLFW_RELEASE);
  }
}
