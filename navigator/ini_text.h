// The INI text of navigator.ini, read the same way on every platform: "[section]" lines,
// "key=value" (or "key: value") lines, comments from ';' or '#' at the start of a line or from
// " ;" inside one, blanks around names and values ignored, a UTF-8 byte order mark skipped.
// Windows' profile-string calls read a file in the ANSI code page and cannot say on which line a
// setting stood, so both builds share this reader instead.
#pragma once

#include <functional>
#include <string_view>

namespace nav {

using IniValue = std::function<void(std::string_view section, std::string_view key, std::string_view value, int line)>;

// Calls `onValue` for every setting in order; returns the number of the first line that is
// neither a setting, a section, a comment nor blank (0 when there is none). Reading goes on past
// such lines.
int ParseIniText(std::string_view text, const IniValue& onValue);

}  // namespace nav
