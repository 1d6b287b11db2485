// A streaming XML reader for the stand-in's documents (GPX tracks), behind one interface with a
// platform's own parser underneath: expat on Linux, Windows' XmlLite on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nav {

struct XmlAttribute {
  std::string name;  // without a namespace prefix
  std::string value;
};

class XmlEvents {
 public:
  virtual ~XmlEvents() = default;
  // Element names come without a namespace prefix. A non-empty result stops the reading with
  // that reason.
  virtual std::string Start(std::string_view name, const std::vector<XmlAttribute>& attributes) = 0;
  virtual std::string End(std::string_view name) = 0;
  virtual void Text(std::string_view text) = 0;
};

// Reads a whole document (UTF-8, or as its declaration says). False with `error`
// ("line N: why") when the XML is not well-formed or an event stopped the reading. Documents
// with a DTD are refused: no entity of theirs is expanded.
bool ReadXml(std::string_view xml, XmlEvents& events, std::string& error);

}  // namespace nav
