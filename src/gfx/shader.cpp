// shader.cpp: reads a GLSL file pair, compiles both stages and links them into one program.
//
// Every failure is reported on standard output and construction carries on, so a broken
// shader file costs the draws that use it, never the game. With the shader trial installed
// (trial/shader_trial.h) the pair's bytes come from the trial, and a pair it refused never
// reaches the driver.
#include "gfx/shader.h"

#include <glm/gtc/type_ptr.hpp>
#include <iostream>
#include <string>

#include "trial/limits.h"
#include "trial/safe_file.h"
#include "trial/shader_trial.h"

namespace {

// A source's own words reach the driver's log (#error repeats its line as written), so the log
// keeps its lines and printable ASCII only: a file cannot send the terminal a control sequence.
void MakePrintable(char (&infoLog)[512]) {
  for (char& c : infoLog) {
    if (c == '\0') break;
    if (c != '\n' && (c < 0x20 || c > 0x7e)) c = '?';
  }
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
    MakePrintable(infoLog);
    std::cout << message << infoLog << std::endl;
  }
  return shader;
}

// A pair its trial refused: the failed step's line and the link's, each with the reason as
// its log.
void ReportRefusal(const ShaderPairTrial& pair) {
  if (pair.step == ShaderStep::Vertex) {
    std::cout << "ERROR::SHADER::VERTEX::COMPILATION_FAILED\n" << pair.reason << std::endl;
  } else if (pair.step == ShaderStep::Fragment) {
    std::cout << "ERROR::SHADER::FRAGMENT::COMPILATION_FAILED\n" << pair.reason << std::endl;
  }
  std::cout << "ERROR::SHADER::PROGRAM::LINKING_FAILED\n" << pair.reason << std::endl;
}

}  // namespace

Shader::Shader(const char* vertexPath, const char* fragmentPath) {
  std::string vertexCode;
  std::string fragmentCode;
  // With the shader trial installed the files were read once at start-up and tried; exactly
  // those bytes are compiled here. One guarded block for both files: one message at most, and
  // a file that was not read contributes an empty source.
  const ShaderPairTrial* tried = TriedShaderPair(vertexPath, fragmentPath);
  try {
    bool read = tried && tried->read;
    if (tried) {
      vertexCode = tried->vertex;
      fragmentCode = tried->fragment;
    } else {
      const bool vertexRead =
          ReadRunFile(vertexPath, kMaxShaderFileBytes, vertexCode) == RunFileStatus::Read;
      const bool fragmentRead =
          ReadRunFile(fragmentPath, kMaxShaderFileBytes, fragmentCode) == RunFileStatus::Read;
      read = vertexRead && fragmentRead;
    }
    if (!read) {
      std::cout << "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ" << std::endl;
    }
  } catch (...) {
    std::cout << "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ" << std::endl;
  }

  // The driver's log never exceeds 511 characters plus NUL here; one buffer serves all three.
  char infoLog[512] = {};
  if (tried && tried->verdict != ShaderVerdict::Passed) {
    // The driver never sees these sources; the program stays unlinked, as a failed link leaves it.
    ReportRefusal(*tried);
    programId = glCreateProgram();
    return;
  }
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
    MakePrintable(infoLog);
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
