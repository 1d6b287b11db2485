// A text as one word of a POSIX shell command line, for tests that run commands through
// system() or popen(). Header-only so that tests outside the harness library can use it.
#pragma once

#include <string>

namespace harness {

// 'text' with every ' written as '\''.
inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

}  // namespace harness
