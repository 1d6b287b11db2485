// The navigator's favourites, kept in a text file: one line per favourite,
// "<index>|<x>|<y>|<name>|<address>". Saved atomically after every change.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "navigator/geo.h"

namespace nav {

constexpr int kMaxFavorites = 48;  // indexes 0 .. 47

struct Favorite {
  std::string name;     // at most 63 bytes
  std::string address;  // at most 127 bytes
  MapPoint pos;
};

class Favorites {
 public:
  // A missing file (a device path) is an empty list. Bad lines are skipped with a warning each.
  bool Load(const std::string& path, std::vector<std::string>& warnings);
  const Favorite* Get(int index) const;
  bool Set(int index, const Favorite& f, std::string& error);
  // False when there was nothing at that index.
  bool Clear(int index, std::string& error, bool& existed);

 private:
  bool Save(std::string& error) const;
  std::string path_;
  std::map<int, Favorite> items_;
};

}  // namespace nav
