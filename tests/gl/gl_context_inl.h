// gl_context_inl.h: CaptureStdout for GL tests (std::cout redirected into a string stream).
#pragma once

#include <iostream>
#include <sstream>

template <typename Fn>
std::string CaptureStdout(Fn fn) {
  std::ostringstream captured;
  std::streambuf* previous = std::cout.rdbuf(captured.rdbuf());
  fn();
  std::cout.rdbuf(previous);
  return captured.str();
}
