#include "navigator/ini_text.h"

namespace nav {
namespace {

std::string_view Strip(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) b++;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) e--;
  return s.substr(b, e - b);
}

// The line without a comment that starts after a blank.
std::string_view WithoutInlineComment(std::string_view s) {
  for (size_t i = 1; i < s.size(); i++)
    if ((s[i] == ';' || s[i] == '#') && (s[i - 1] == ' ' || s[i - 1] == '\t')) return s.substr(0, i);
  return s;
}

}  // namespace

int ParseIniText(std::string_view text, const IniValue& onValue) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string_view section;
  int firstBad = 0;
  int lineNo = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    lineNo++;
    std::string_view line = Strip(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    line = Strip(WithoutInlineComment(line));
    if (line.front() == '[') {
      size_t close = line.find(']');
      if (close == std::string_view::npos) {
        if (!firstBad) firstBad = lineNo;
        continue;
      }
      section = Strip(line.substr(1, close - 1));
      continue;
    }
    size_t sep = line.find_first_of("=:");
    std::string_view key = sep == std::string_view::npos ? std::string_view() : Strip(line.substr(0, sep));
    if (key.empty()) {
      if (!firstBad) firstBad = lineNo;
      continue;
    }
    onValue(section, key, Strip(line.substr(sep + 1)), lineNo);
  }
  return firstBad;
}

}  // namespace nav
