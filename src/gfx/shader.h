// shader.h: one linked GLSL program built from a ".vertex" and a ".fragment" file.
//
// A Shader is a small value: copies share the same GL program. Construction never fails
// outward; read, compile and link problems are printed on standard output and the program
// carries on with whatever object resulted. Uniforms are always looked up by name at the
// moment they are set (see the Set* helpers); locations are never cached anywhere.
#pragma once

#include <glm/glm.hpp>

#include "gfx/gl.h"

struct Shader {
  GLuint programId = 0;  // GL program name; never deleted (goes with the context)

  Shader() = default;
  Shader(const char* vertexPath, const char* fragmentPath);  // read, compile, link, report

  void Use() const;  // glUseProgram(programId)
};

// Uniform setters: look the name up in the program and set it at once (no caching).
void SetUniformInt(const Shader& shader, const char* name, int value);
void SetUniformFloat(const Shader& shader, const char* name, float value);
void SetUniformVec3(const Shader& shader, const char* name, const glm::vec3& value);  // glUniform3f
void SetUniformVec4(const Shader& shader, const char* name, const glm::vec4& value);  // glUniform4f
void SetUniformMat4(const Shader& shader, const char* name, const glm::mat4& value);
