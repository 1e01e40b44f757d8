// Shader: building a program from a file pair, and the exact report of every failure.
#include "gfx/shader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gfx_test_files.h"
#include "gl_context.h"
#include "trial/limits.h"
#include "trial/shader_trial.h"

namespace {

const char* const kVertex =
    "#version 330 core\n"
    "layout (location = 0) in vec3 aPos;\n"
    "void main() { gl_Position = vec4(aPos, 1.0); }\n";
// Uses a fragment-only built-in, so it cannot pass as a vertex stage.
const char* const kFragment =
    "#version 330 core\n"
    "out vec4 FragColor;\n"
    "void main() { FragColor = vec4(gl_FragCoord.xy, 0.0, 1.0); }\n";
const char* const kFragmentSyntaxError =
    "#version 330 core\n"
    "out vec4 FragColor;\n"
    "void main() { FragColor = vec4(1.0) }\n";

const char* const kRead = "ERROR::SHADER::FILE_NOT_SUCCESFULLY_READ";
const char* const kVertexFailed = "ERROR::SHADER::VERTEX::COMPILATION_FAILED";
const char* const kFragmentFailed = "ERROR::SHADER::FRAGMENT::COMPILATION_FAILED";
const char* const kLinkFailed = "ERROR::SHADER::PROGRAM::LINKING_FAILED";

// The "ERROR::" lines of a report, in order.
std::vector<std::string> ErrorLines(const std::string& output) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    if (line.rfind("ERROR::", 0) == 0) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

GLint LinkStatus(GLuint program) {
  GLint status = -1;
  glGetProgramiv(program, GL_LINK_STATUS, &status);
  return status;
}

}  // namespace

TEST(Shader, ValidPairLinksSilentlyAndUseMakesItCurrent) {
  ScratchDir dir;
  WriteFile(dir / "ok.vertex", kVertex);
  WriteFile(dir / "ok.fragment", kFragment);
  Shader shader;
  const std::string output = CaptureStdout(
      [&] { shader = Shader((dir / "ok.vertex").c_str(), (dir / "ok.fragment").c_str()); });
  EXPECT_EQ(output, "");
  ASSERT_TRUE(glIsProgram(shader.programId));
  EXPECT_EQ(LinkStatus(shader.programId), GL_TRUE);
  // The stage objects were released; the program keeps both attached.
  GLint attached = 0;
  glGetProgramiv(shader.programId, GL_ATTACHED_SHADERS, &attached);
  EXPECT_EQ(attached, 2);

  shader.Use();
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLuint>(current), shader.programId);
  glUseProgram(0);
}

TEST(Shader, ReportsEachFailureInOrderAndKeepsTheProgram) {
  struct Case {
    const char* name;
    std::optional<std::string> vertex;    // nullopt: no such file
    std::optional<std::string> fragment;  // nullopt: no such file
    std::vector<std::string> expected;
  };
  const char rawGarbage[] =
      "\x7f"
      "ELF\x02\x01\x01\0\0\0\xff\xfe\x80 binary \0 junk";
  const std::string garbage(rawGarbage, sizeof(rawGarbage) - 1);
  const std::string truncated = std::string(kVertex).substr(0, 60);
  const std::string nonce = "// " + std::to_string(std::random_device{}()) + "\n";
  const std::vector<Case> cases = {
      {"missing vertex file", std::nullopt, kFragment, {kRead, kVertexFailed, kLinkFailed}},
      {"missing fragment file", kVertex, std::nullopt, {kRead, kFragmentFailed, kLinkFailed}},
      {"both missing: one read line",
       std::nullopt,
       std::nullopt,
       {kRead, kVertexFailed, kFragmentFailed, kLinkFailed}},
      {"fragment syntax error", kVertex, kFragmentSyntaxError, {kFragmentFailed, kLinkFailed}},
      {"empty vertex file is read", "", kFragment, {kVertexFailed, kLinkFailed}},
      {"binary garbage vertex", garbage, kFragment, {kVertexFailed, kLinkFailed}},
      {"truncated vertex", truncated, kFragment, {kVertexFailed, kLinkFailed}},
      {"vertex file over the size cap is not read",
       kVertex + std::string(kMaxShaderFileBytes, ' '),
       kFragment,
       {kRead, kVertexFailed, kLinkFailed}},
      // Fresh texts: Mesa's shader cache may skip compiling a text it has seen as the other
      // stage and only fail at link time.
      {"swapped pair",
       kFragment + nonce,
       kVertex + nonce,
       {kVertexFailed, kFragmentFailed, kLinkFailed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    if (c.vertex) WriteFile(dir / "s.vertex", *c.vertex);
    if (c.fragment) WriteFile(dir / "s.fragment", *c.fragment);
    Shader shader;
    const std::string output = CaptureStdout(
        [&] { shader = Shader((dir / "s.vertex").c_str(), (dir / "s.fragment").c_str()); });
    EXPECT_EQ(ErrorLines(output), c.expected) << output;
    // A read failure is one line of its own; the others end in a newline before the log.
    if (c.expected.front() == kRead) {
      EXPECT_EQ(output.rfind(std::string(kRead) + "\n", 0), 0u);
    }
    EXPECT_NE(output.find(std::string(kLinkFailed) + "\n"), std::string::npos);
    EXPECT_EQ(output.back(), '\n');
    EXPECT_TRUE(glIsProgram(shader.programId));
    EXPECT_EQ(LinkStatus(shader.programId), GL_FALSE);
  }
}

TEST(Shader, DirectoryInsteadOfFileIsAReadFailure) {
  ScratchDir dir;
  WriteFile(dir / "s.fragment", kFragment);
  const std::string output =
      CaptureStdout([&] { Shader(dir.Path().c_str(), (dir / "s.fragment").c_str()); });
  const std::vector<std::string> expected = {kRead, kVertexFailed, kLinkFailed};
  EXPECT_EQ(ErrorLines(output), expected) << output;
}

TEST(Shader, CompileLogIsCutAt511Characters) {
  // Many errors make a driver log far longer than the 512-character buffer.
  std::string source = "#version 330 core\nout vec4 FragColor;\nvoid main() {\n";
  for (int i = 0; i < 60; ++i) source += "  undeclared_" + std::to_string(i) + " = 1.0;\n";
  source += "}\n";
  ScratchDir dir;
  WriteFile(dir / "s.vertex", kVertex);
  WriteFile(dir / "s.fragment", source);
  const std::string output =
      CaptureStdout([&] { Shader((dir / "s.vertex").c_str(), (dir / "s.fragment").c_str()); });
  const std::string header = std::string(kFragmentFailed) + "\n";
  ASSERT_EQ(output.rfind(header, 0), 0u) << output;
  const size_t logEnd = output.find(kLinkFailed);
  ASSERT_NE(logEnd, std::string::npos);
  // The log and its end of line sit between the two headers.
  const std::string log = output.substr(header.size(), logEnd - header.size() - 1);
  EXPECT_EQ(log.size(), 511u);
}

// A source's #error text reaches the driver's log as written: on standard output it keeps its
// lines but no terminal control sequence.
TEST(Shader, CompileLogIsPrintable) {
  ScratchDir dir;
  WriteFile(dir / "s.vertex", kVertex);
  WriteFile(dir / "s.fragment", "#version 330 core\n#error \x1b[2J\x1b]0;title\x07 end\n");
  const std::string output =
      CaptureStdout([&] { Shader((dir / "s.vertex").c_str(), (dir / "s.fragment").c_str()); });
  EXPECT_NE(output.find("#error ?[2J?]0;title? end\n"), std::string::npos) << output;
  for (const char c : output) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7e)) << int(c);
}

namespace {
// A stand-in for the trial's driver: a fragment source starting "//crash" crashes it.
TrialContextKind TrialKind() {
  return TrialContextKind::Headless;
}
bool TrialContext(TrialContextKind) {
  return true;
}
unsigned TrialCompile(bool vertex, const std::string& source) {
  if (!vertex && source.rfind("//crash", 0) == 0) {
    std::signal(SIGSEGV, SIG_DFL);  // a sanitizer build's handler would make it an exit status
    std::raise(SIGSEGV);
  }
  return 0;
}
unsigned TrialLink(unsigned, unsigned) {
  return 0;
}
void TrialDraw(unsigned, const ShaderPassState&) {}
bool TrialOutOfMemory() {
  return false;
}
}  // namespace

// With a trial installed, a pair is built from the bytes that were tried, not from the file as
// it is now, and a refused pair reaches the driver not at all: its lines carry the reason.
TEST(Shader, InstalledTrialBuildsTheTriedBytesOrRefuses) {
  ScratchDir dir;
  WriteFile(dir / "ok.vertex", kVertex);
  WriteFile(dir / "ok.fragment", kFragment);
  WriteFile(dir / "bad.fragment", std::string("//crash\n") + kFragment);
  const std::string okVertex = dir / "ok.vertex", okFragment = dir / "ok.fragment";
  const std::string badFragment = dir / "bad.fragment";
  ShaderTrial trial;
  ASSERT_TRUE(StartShaderTrial(
      trial, {{okVertex.c_str(), okFragment.c_str()}, {okVertex.c_str(), badFragment.c_str()}},
      {TrialKind, TrialContext, TrialCompile, TrialLink, TrialDraw, TrialOutOfMemory}));
  WriteFile(okFragment, kFragmentSyntaxError);  // changed after the trial read it
  InstallShaderTrial(&trial);
  Shader good, refused;
  const std::string goodOutput =
      CaptureStdout([&] { good = Shader(okVertex.c_str(), okFragment.c_str()); });
  const std::string refusedOutput =
      CaptureStdout([&] { refused = Shader(okVertex.c_str(), badFragment.c_str()); });
  InstallShaderTrial(nullptr);
  FinishShaderTrial(trial);
  EXPECT_EQ(goodOutput, "");
  EXPECT_EQ(LinkStatus(good.programId), GL_TRUE);
  const std::string reason = "compiling it crashed the driver in a trial run (signal 11)\n";
  EXPECT_EQ(refusedOutput,
            std::string(kFragmentFailed) + "\n" + reason + kLinkFailed + "\n" + reason);
  EXPECT_TRUE(glIsProgram(refused.programId));
  EXPECT_EQ(LinkStatus(refused.programId), GL_FALSE);
}
