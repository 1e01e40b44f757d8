// shader.cpp: reads a GLSL file pair, compiles both stages and links them into one program.
//
// Every failure is reported on standard output and construction carries on, so a broken
// shader file costs the draws that use it, never the game.
#include "gfx/shader.h"

#include <fstream>
#include <glm/gtc/type_ptr.hpp>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// Reads a whole file into `source`. False when the file cannot be opened or a read fails.
// An empty file is read successfully (its empty source then fails to compile).
bool ReadWholeFile(const char* path, std::string& source) {
  std::ifstream file(path);
  if (!file.is_open()) return false;
  std::stringstream stream;
  // Copying an empty buffer marks the string stream failed, so only copy when there is a
  // first character. Peeking throws on a read error (a directory, for instance): that is this
  // file's failure, and the other file is still read.
  try {
    if (file.rdbuf()->sgetc() != std::char_traits<char>::eof()) {
      stream << file.rdbuf();
      if (stream.fail()) return false;
    }
  } catch (const std::ios_base::failure&) {
    return false;
  }
  source = stream.str();
  return true;
}

// Compiles one stage; on failure prints `message` (which ends in its own newline) and the
// driver's log.
GLuint CompileStage(GLenum stage, const std::string& source, const char* message,
                    char (&infoLog)[512]) {
  const GLuint shader = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint success = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &success);
  if (!success) {
    glGetShaderInfoLog(shader, 512, nullptr, infoLog);
    std::cout << message << infoLog << std::endl;
  }
  return shader;
}

}  // namespace

Shader::Shader(const char* vertexPath, const char* fragmentPath) {
  std::string vertexCode;
  std::string fragmentCode;
  // One guarded block for both files: one message at most, and a file that was not read
  // contributes an empty source.
  try {
    const bool vertexRead = ReadWholeFile(vertexPath, vertexCode);
    const bool fragmentRead = ReadWholeFile(fragmentPath, fragmentCode);
    if (!vertexRead || !fragmentRead) {
      std::cout << "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ" << std::endl;
    }
  } catch (...) {
    std::cout << "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ" << std::endl;
  }

  // The driver's log never exceeds 511 characters plus NUL here; one buffer serves all three.
  char infoLog[512] = {};
  const GLuint vertex = CompileStage(GL_VERTEX_SHADER, vertexCode,
                                     "ERROR::SHADER::VERTEX::COMPILATION_FAILED\n", infoLog);
  const GLuint fragment = CompileStage(GL_FRAGMENT_SHADER, fragmentCode,
                                       "ERROR::SHADER::FRAGMENT::COMPILATION_FAILED\n", infoLog);

  programId = glCreateProgram();
  glAttachShader(programId, vertex);
  glAttachShader(programId, fragment);
  glLinkProgram(programId);
  GLint success = 0;
  glGetProgramiv(programId, GL_LINK_STATUS, &success);
  if (!success) {
    glGetProgramInfoLog(programId, 512, nullptr, infoLog);
    std::cout << "ERROR::SHADER::PROGRAM::LINKING_FAILED\n" << infoLog << std::endl;
  }
  // The program keeps its attached stages alive; only our handles go.
  glDeleteShader(vertex);
  glDeleteShader(fragment);
}

void Shader::Use() const {
  glUseProgram(programId);
}

void SetUniformInt(const Shader& shader, const char* name, int value) {
  glUniform1i(glGetUniformLocation(shader.programId, name), value);
}

void SetUniformFloat(const Shader& shader, const char* name, float value) {
  glUniform1f(glGetUniformLocation(shader.programId, name), value);
}

void SetUniformVec3(const Shader& shader, const char* name, const glm::vec3& value) {
  glUniform3f(glGetUniformLocation(shader.programId, name), value.x, value.y, value.z);
}

void SetUniformVec4(const Shader& shader, const char* name, const glm::vec4& value) {
  glUniform4f(glGetUniformLocation(shader.programId, name), value.x, value.y, value.z, value.w);
}

void SetUniformMat4(const Shader& shader, const char* name, const glm::mat4& value) {
  glUniformMatrix4fv(glGetUniformLocation(shader.programId, name), 1, GL_FALSE,
                     glm::value_ptr(value));
}
