// scene_shots.cpp: renders the game's showcase views with the real frame sequence and saves
// them as JPEG files: the seat view, the free camera, a shadowed corner with shadows on and
// off, the water with its reflection, the chrome statue, and the game-over screen.
//
// Usage: scene_shots [output folder] [width height]   (defaults: docs/screenshots, 1280 x 720).
// Run it from the repository root.
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "app/scripted_play.h"
#include "trial/file_trial.h"

namespace {

bool Save(const ScriptedPlay& play, const std::string& path) {
  const int w = static_cast<int>(play.game.screenWidth);
  const int h = static_cast<int>(play.game.screenHeight);
  std::vector<unsigned char> rgba = ReadWindowPixels(play);
  std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {  // GL rows are bottom-up; PNG rows top-down
    for (int x = 0; x < w; ++x) {
      const unsigned char* src = &rgba[(static_cast<size_t>(h - 1 - y) * w + x) * 4];
      unsigned char* dst = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
  }
  // JPEG keeps the showcase small enough to live in the repository.
  const bool ok = stbi_write_jpg(path.c_str(), w, h, 3, rgb.data(), 90) != 0;
  std::printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str());
  return ok;
}

void FreeCamera(ScriptedPlay& play, glm::vec3 position, float yaw, float pitch) {
  play.game.seatView = false;
  play.game.camera.position = position;
  play.game.camera.yaw = yaw;
  play.game.camera.pitch = pitch;
  play.game.camera.RecomputeAxes();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "docs/screenshots";
  ScriptedPlayOptions options;
  options.width = argc > 3 ? static_cast<unsigned>(std::atoi(argv[2])) : 1280;
  options.height = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 720;
  options.frameSeconds = 1.0 / 30.0;

  SetDecodeWhere(DecodeWhere::InProcess);  // the repository's own data
  auto play = std::make_unique<ScriptedPlay>();
  if (!StartScriptedPlay(*play, options)) return 1;
  ScriptedPlay& p = *play;

  RunScriptedFrames(p, 3);
  Save(p, folder + "/seat_view.jpg");

  // Paddle ahead toward the cube and the platform: the water reflects them.
  HoldKey(p, GLFW_KEY_W, 30);
  RunScriptedFrames(p, 31);
  Save(p, folder + "/water_reflection.jpg");

  FreeCamera(p, glm::vec3(8.0f, 4.0f, 8.0f), -130.0f, -10.0f);
  RunScriptedFrames(p, 1);
  Save(p, folder + "/free_camera.jpg");

  // The low light from (50, 10, 50) throws long shadows of the obstacles and the canoe across
  // the pool floor, seen through the water.
  FreeCamera(p, glm::vec3(12.0f, 9.0f, 12.0f), -135.0f, -28.0f);
  RunScriptedFrames(p, 1);
  Save(p, folder + "/shadows_on.jpg");
  TapKey(p, GLFW_KEY_F7);
  RunScriptedFrames(p, 1);
  Save(p, folder + "/shadows_off.jpg");
  TapKey(p, GLFW_KEY_F7);

  FreeCamera(p, glm::vec3(0.0f, 6.0f, -30.0f), -90.0f, 12.0f);
  RunScriptedFrames(p, 1);
  Save(p, folder + "/chrome_statue.jpg");

  // Let the clock run out: the last seconds and then "GAME OVER".
  p.game.state.timeLeft = 0.5f;
  p.game.seatView = true;
  RunScriptedFrames(p, 30);
  Save(p, folder + "/game_over.jpg");

  EndScriptedPlay(p);
  glfwTerminate();
  return 0;
}
