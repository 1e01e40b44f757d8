// glsl_es.cpp: the text rewrite from GLSL 330 core to GLSL ES 3.00 (see glsl_es.h).
#include "glsl_es.h"

#include <regex>

namespace {

const char* const kEsHeader =
    "#version 300 es\n"
    "precision highp float;\n"
    "precision highp int;\n"
    "precision highp sampler2D;\n"
    "precision highp samplerCube;\n";

const char* const kClipVarying = "ClipDistance0";

// Drops the version line and every extension directive; what remains follows the ES header.
std::string StripDirectives(const std::string& source) {
  static const std::regex directive(R"(^[ \t]*#[ \t]*(version|extension)\b[^\n]*\n?)",
                                    std::regex::multiline);
  return std::regex_replace(source, directive, "");
}

// Puts `line` at the start of main's body.
std::string AtStartOfMain(const std::string& source, const std::string& line) {
  static const std::regex mainOpen(R"(void\s+main\s*\(\s*(void)?\s*\)\s*\{)");
  std::smatch match;
  if (!std::regex_search(source, match, mainOpen)) return source;
  const std::size_t at = static_cast<std::size_t>(match.position(0) + match.length(0));
  return source.substr(0, at) + "\n  " + line + source.substr(at);
}

}  // namespace

ShaderPair DeriveEsPair(const ShaderPair& desktop) {
  std::string vertex = StripDirectives(desktop.vertex);
  std::string fragment = StripDirectives(desktop.fragment);

  static const std::regex constantClip(R"(gl_ClipDistance\s*\[\s*0\s*\]\s*=\s*1\.0\s*;)");
  vertex = std::regex_replace(vertex, constantClip, "");
  static const std::regex clip(R"(gl_ClipDistance\s*\[\s*0\s*\])");
  const bool clips = std::regex_search(vertex, clip);
  std::string vertexHeader = kEsHeader;
  std::string fragmentHeader = kEsHeader;
  if (clips) {
    vertex = std::regex_replace(vertex, clip, kClipVarying);
    vertexHeader += std::string("out float ") + kClipVarying + ";\n";
    fragmentHeader += std::string("in float ") + kClipVarying + ";\n";
    fragment = AtStartOfMain(fragment, std::string("if (") + kClipVarying + " < 0.0) discard;");
  }
  return {vertexHeader + vertex, fragmentHeader + fragment};
}
