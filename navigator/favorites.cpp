#include "navigator/favorites.h"

#include <optional>
#include <sstream>

#include "navigator/device_file.h"

namespace nav {

namespace {
// 48 favourites of at most 200 bytes each fit many times over.
constexpr uint64_t kMaxFavoritesBytes = 1u << 20;
}  // namespace

bool Favorites::Load(const std::string& path, std::vector<std::string>& warnings) {
  path_ = path;
  items_.clear();
  std::string bytes, error;
  ReadResult r = ReadDeviceFile(path, kMaxFavoritesBytes, bytes, error);
  if (r == ReadResult::kMissing) return true;
  if (r != ReadResult::kOk) {
    warnings.push_back(error + "; no favourites");
    return false;
  }
  std::istringstream in(bytes);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    lineNo++;
    if (Trim(line).empty()) continue;
    std::string_view v = line;
    std::vector<std::string_view> f;
    for (int i = 0; i < 4; i++) {
      size_t bar = v.find('|');
      if (bar == std::string_view::npos) break;
      f.push_back(v.substr(0, bar));
      v.remove_prefix(bar + 1);
    }
    f.push_back(Trim(v));
    int32_t index;
    Favorite fav;
    if (f.size() != 5 || !ParseInt32(f[0], index) || index < 0 || index >= kMaxFavorites ||
        !ParseInt32(f[1], fav.pos.x) || !ParseInt32(f[2], fav.pos.y)) {
      warnings.push_back(path + ": line " + std::to_string(lineNo) + " is not a favourite");
      continue;
    }
    fav.name = std::string(f[3]);
    fav.address = std::string(f[4]);
    items_[index] = std::move(fav);
  }
  return true;
}

const Favorite* Favorites::Get(int index) const {
  auto it = items_.find(index);
  return it == items_.end() ? nullptr : &it->second;
}

bool Favorites::Set(int index, const Favorite& f, std::string& error) {
  if (index < 0 || index >= kMaxFavorites) {
    error = "favourite index out of range";
    return false;
  }
  auto old = items_.find(index);
  std::optional<Favorite> previous;
  if (old != items_.end()) previous = old->second;
  items_[index] = f;
  if (Save(error)) return true;
  if (previous)
    items_[index] = *previous;
  else
    items_.erase(index);
  return false;
}

bool Favorites::Clear(int index, std::string& error, bool& existed) {
  auto it = items_.find(index);
  existed = it != items_.end();
  if (!existed) return true;
  Favorite previous = it->second;
  items_.erase(it);
  if (Save(error)) return true;
  items_[index] = previous;
  return false;
}

bool Favorites::Save(std::string& error) const {
  std::string text;
  for (const auto& [index, f] : items_)
    text += std::to_string(index) + "|" + std::to_string(f.pos.x) + "|" + std::to_string(f.pos.y) + "|" + f.name + "|" +
            f.address + "\n";
  return ReplaceDeviceFile(path_, text, error);
}

}  // namespace nav
