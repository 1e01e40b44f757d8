// shader.cpp: placeholder until the graphics resources land.
#include "gfx/shader.h"

#include <glm/gtc/type_ptr.hpp>

Shader::Shader(const char*, const char*) {}
void Shader::Use() const { glUseProgram(programId); }
void SetUniformInt(const Shader& s, const char* n, int v) {
  glUniform1i(glGetUniformLocation(s.programId, n), v);
}
void SetUniformFloat(const Shader& s, const char* n, float v) {
  glUniform1f(glGetUniformLocation(s.programId, n), v);
}
void SetUniformVec3(const Shader& s, const char* n, const glm::vec3& v) {
  glUniform3f(glGetUniformLocation(s.programId, n), v.x, v.y, v.z);
}
void SetUniformVec4(const Shader& s, const char* n, const glm::vec4& v) {
  glUniform4f(glGetUniformLocation(s.programId, n), v.x, v.y, v.z, v.w);
}
void SetUniformMat4(const Shader& s, const char* n, const glm::mat4& v) {
  glUniformMatrix4fv(glGetUniformLocation(s.programId, n), 1, GL_FALSE, glm::value_ptr(v));
}
