// assets_real_models.h: the nine real models, loaded once for all GL asset tests through the
// game's own loader, in start-up order, plus helpers to read their vertices.
#pragma once

#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "gl_context.h"
#include "scene/world.h"

struct RealModels {
  std::unique_ptr<Models> models;
  std::string printed;  // everything loading printed
};

// Loaded on first use; the models outlive every test (their destructors make no GL call).
inline const RealModels& LoadRealModels() {
  static RealModels real = [] {
    RealModels r;
    r.printed = CaptureStdout([&] { r.models = std::make_unique<Models>(); });
    return r;
  }();
  return real;
}

inline WorldModels WorldModelsOf(const Models& m) {
  return {&m.duckModel,      &m.canoeModel, &m.driverModel, &m.driverArmsModel, &m.cubeModel,
          &m.platform2Model, &m.pool2Model, &m.pool3Model,  &m.budmanModel};
}

// Every vertex position of a model, optionally moved by a matrix.
inline std::vector<glm::vec3> PositionsOf(const Model& model, const glm::mat4& m = glm::mat4(1)) {
  std::vector<glm::vec3> out;
  for (const Mesh& mesh : model.meshes)
    for (const Vertex& v : mesh.vertices) out.push_back(glm::vec3(m * glm::vec4(v.position, 1)));
  return out;
}
