#include "navigator/navigator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace nav {

namespace {

constexpr const char* kVersionText = "1.0.0";
constexpr int32_t kVersionBuild = 100;
constexpr double kLocateMetres = 1000;   // how far from a street a position still gets its name
constexpr size_t kMaxRoutePairs = 2000;  // a route reply never claims more pairs than this
constexpr int32_t kMaxFlashMs = 10 * 60 * 1000;

}  // namespace

// Reply fields after the result code, in the shape the call table gives the call. Texts are cut
// to the width the client's record has for them, on a character boundary, and cleaned of the
// bytes the wire cannot carry.
class Navigator::Reply {
 public:
  explicit Reply(const SdkWireCall& call) : call_(call) {}
  void Int(int64_t v) {
    fields.push_back(std::to_string(static_cast<int32_t>(v)));
    types.push_back(kSdkIntField);
  }
  void Text(std::string_view t) {
    size_t i = fields.size();
    size_t width = i < call_.resultCount ? call_.results[i].width : 1;
    if (width == 0) width = 1;
    std::string s(t.substr(0, std::min(t.size(), width - 1)));
    if (s.size() < t.size())
      while (!s.empty() && (static_cast<unsigned char>(t[s.size()]) & 0xC0) == 0x80) s.pop_back();
    for (char& c : s)
      if (c == '|' || c == '\n' || c == '\r') c = ' ';
    fields.push_back(std::move(s));
    types.push_back(kSdkTextField);
  }
  void Point(MapPoint p) {
    Int(p.x);
    Int(p.y);
  }
  // Whether the fields are the call's full reply: its fields in type and number, or for a list
  // a count and that many pairs of integers.
  bool Complete() const {
    for (SdkFieldType t : types)
      if (call_.listReply && t != kSdkIntField) return false;
    if (call_.listReply) {
      if (fields.empty()) return false;
      long count = std::strtol(fields[0].c_str(), nullptr, 10);
      return count >= 0 && fields.size() == 1 + 2 * static_cast<size_t>(count);
    }
    if (types.size() != call_.resultCount) return false;
    for (size_t i = 0; i < types.size(); i++)
      if (types[i] != call_.results[i].type) return false;
    return true;
  }
  std::vector<std::string> fields;

 private:
  const SdkWireCall& call_;
  std::vector<SdkFieldType> types;
};

std::vector<std::string> Navigator::EmptyReply(int i, int32_t code) {
  const SdkWireCall& call = kSdkWireCalls[i];
  std::vector<std::string> out{std::to_string(code)};
  if (call.listReply) out.push_back("0");
  for (size_t f = 0; f < call.resultCount; f++) out.push_back(call.results[f].type == kSdkIntField ? "0" : "");
  return out;
}

const char* Navigator::CallName(int i) { return kSdkWireCalls[i].name; }
const char* Navigator::CallArgs(int i) { return kSdkWireCalls[i].arguments; }

Navigator::Navigator(NavigatorConfig config, std::string programFolder, Clock clock, std::string hardwareId)
    : config_(std::move(config)),
      programFolder_(std::move(programFolder)),
      clock_(std::move(clock)),
      hardwareId_(std::move(hardwareId)) {}

void Navigator::Warn(const std::string& what) const { fprintf(stderr, "navigator: %s\n", what.c_str()); }

void Navigator::Start(std::vector<std::string>& warnings) {
  started_ = clock_();
  if (config_.mode == GpsMode::kTrack) {
    std::string device = ResolveBeside(programFolder_, config_.track), error;
    std::vector<TrackPoint> points;
    if (!LoadGpxFile(device, points, error)) {
      warnings.push_back("GPS track: " + error + "; no GPS fix");
    } else {
      track_ = TrackReplay(std::move(points), config_.defaultSpeed);
    }
  }
  std::string error;
  if (!SwitchMap(config_.mapFolder, error)) warnings.push_back(error);
  favorites_.Load(ResolveBeside(programFolder_, config_.favorites), warnings);
  GpsFix fix = Position();
  viewCentre_ = fix.valid ? fix.pos : (streets_.Places().empty() ? MapPoint{} : streets_.Places().front().centre);
}

bool Navigator::SwitchMap(const std::string& deviceFolder, std::string& error) {
  std::string folder = deviceFolder;
  if (folder.empty() || folder.front() != '\\') {
    error = "map folder \"" + deviceFolder + "\" is not a device path";
    return false;
  }
  if (folder.back() != '\\') folder += '\\';
  std::string bare = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
  if (!IsFolder(bare)) {
    error = "map folder " + folder + " does not exist";
    return false;
  }
  std::vector<std::string> warnings;
  StreetMap streets;
  std::string streetError;
  if (!streets.Load(folder + "streets.txt", warnings, streetError)) {
    warnings.push_back(streetError + " (the map has no streets)");
    streets = StreetMap();
  }
  for (const std::string& w : warnings) Warn(folder + ": " + w);
  streets_ = std::move(streets);
  std::vector<std::string> storeWarnings;
  categories_.Open(folder, storeWarnings);
  for (const std::string& w : storeWarnings) Warn(w);
  mapFolder_ = folder;
  mapName_ = streets_.Name();
  if (mapName_.empty()) {
    size_t start = folder.find_last_of('\\', folder.size() - 2);
    mapName_ = folder.substr(start + 1, folder.size() - start - 2);
  }
  return true;
}

std::vector<std::string> Navigator::Handle(const std::vector<std::string_view>& request) {
  auto refuse = [&](const std::string& why) {
    Warn(why);
    return std::vector<std::string>{std::to_string(kResultBadRequest)};
  };
  if (request.empty()) return refuse("request without fields");
  int index = FindSdkCall(request[0]);
  if (index < 0) return refuse("unknown call \"" + std::string(request[0].substr(0, 64)) + "\"");
  const SdkWireCall& call = kSdkWireCalls[index];
  size_t argc = call.ArgumentCount();
  if (request.size() != argc + 1)
    return refuse(std::string(call.name) + ": " + std::to_string(request.size() - 1) + " arguments, expected " +
                  std::to_string(argc));
  Args args(request.begin() + 1, request.end());
  Ints ints(argc, 0);
  for (size_t i = 0; i < argc; i++) {
    if (call.arguments[i] == 'i' && !ParseInt32(args[i], ints[i]))
      return refuse(std::string(call.name) + ": argument " + std::to_string(i + 1) + " is not an integer: \"" +
                    std::string(args[i].substr(0, 32)) + "\"");
  }
  // The handlers in the order of the call table.
  static const Handler kHandlers[kCallCount] = {
      &Navigator::GetRouteCoordinates,
      &Navigator::StopApplication,
      &Navigator::GetApplicationVersion,
      &Navigator::FlashMessage,
      &Navigator::GetDataSetInfo,
      &Navigator::GetUniqueDeviceId,
      &Navigator::NavigateToCoordinates,
      &Navigator::NavigateToFavorite,
      &Navigator::NavigateToAddress,
      &Navigator::ShowAddressOnMap,
      &Navigator::ShowCoordinatesOnMap,
      &Navigator::ShowRectangleOnMap,
      &Navigator::GetLocationInfo,
      &Navigator::GetLocationInfoEx,
      &Navigator::GetRouteInfo,
      &Navigator::ChangeSetting,
      &Navigator::SwitchMapCall,
      &Navigator::SetNavigatorProperty,
      &Navigator::GetCurrentPosition,
      &Navigator::Geocode,
      &Navigator::GeocodeExtended,
      &Navigator::ClearFavorite,
      &Navigator::SetFavorite,
      &Navigator::GetFavorite,
      &Navigator::MakePoiVisible,
      &Navigator::AddPoi,
      &Navigator::DeleteClosestPoi,
      &Navigator::DeleteAllPoi,
      &Navigator::MakeUserPoiVisible,
      &Navigator::MoveClosestPoi,
      &Navigator::BringNavigatorToForeground,
      &Navigator::SwitchToNavigatorView,
      &Navigator::EnableExternalGPSInput,
      &Navigator::DisableExternalGPSInput,
  };
  Reply reply(call);
  const Handler handler = kHandlers[index];
  int32_t code = (this->*handler)(args, ints, reply);
  if (code != kResultOk) return EmptyReply(index, code);
  if (!reply.Complete()) {
    Warn(std::string(call.name) + ": the answer does not have the call's shape");
    return EmptyReply(index, kResultFailed);
  }
  std::vector<std::string> out;
  out.reserve(reply.fields.size() + 1);
  out.push_back("0");
  for (std::string& f : reply.fields) out.push_back(std::move(f));
  return out;
}

GpsFix Navigator::Position() const {
  GpsFix fix;
  switch (config_.mode) {
    case GpsMode::kTrack:
      if (!track_.Empty()) fix = track_.At((clock_() - started_) * config_.rate);
      break;
    case GpsMode::kFixed:
      fix.valid = true;
      fix.pos = FromDegrees(config_.latitude, config_.longitude);
      fix.heading = config_.heading;
      fix.speed = config_.speed;
      break;
    case GpsMode::kNoFix:
      break;
  }
  return fix;
}

MapPoint Navigator::ViewCentre() const {
  if (follow_) {
    GpsFix fix = Position();
    if (fix.valid) return fix.pos;
  }
  return viewCentre_;
}

std::string Navigator::FlashText() const { return clock_() < flashUntil_ ? flashText_ : std::string(); }

void Navigator::ShowAt(MapPoint centre, double spanMetres) {
  follow_ = false;
  viewCentre_ = centre;
  viewSpan_ = std::clamp(spanMetres, 100.0, 50000.0);
}

int32_t Navigator::StoreError(const char* call, StoreResult r, const std::string& error) {
  Warn(std::string(call) + ": " + StoreResultText(r) + ": " + error);
  switch (r) {
    case StoreResult::kOk:
      return kResultOk;
    case StoreResult::kNotFound:
      return kResultNotFound;
    case StoreResult::kBadName:
      return kResultBadRequest;
    case StoreResult::kMalformed:
    case StoreResult::kIoError:
      return kResultFailed;
  }
  return kResultFailed;
}

// --- The calls, in table order. ---

int32_t Navigator::GetRouteCoordinates(const Args&, const Ints&, Reply& r) {
  GpsFix fix = Position();
  if (config_.mode != GpsMode::kTrack || !fix.valid) return kResultUnavailable;
  const auto& points = track_.Points();
  size_t count = std::min(kMaxRoutePairs, points.size() - fix.segment);
  r.Int(static_cast<int64_t>(count));
  r.Point(fix.pos);
  for (size_t i = fix.segment + 1; i < points.size() && i < fix.segment + count; i++) r.Point(points[i].pos);
  return kResultOk;
}

int32_t Navigator::StopApplication(const Args&, const Ints&, Reply&) {
  stopRequested_ = true;
  return kResultOk;
}

int32_t Navigator::GetApplicationVersion(const Args&, const Ints&, Reply& r) {
  r.Text(kVersionText);
  r.Int(kVersionBuild);
  return kResultOk;
}

int32_t Navigator::FlashMessage(const Args& a, const Ints& n, Reply&) {
  if (n[1] < 0 || n[1] > kMaxFlashMs) {
    Warn("FlashMessageV01: display time out of range");
    return kResultBadRequest;
  }
  flashText_ = std::string(a[0]);
  flashUntil_ = clock_() + n[1] / 1000.0;
  // Also on standard output, one line per message, for whoever watches the navigator run.
  printf("flash %d ms: %s\n", n[1], flashText_.c_str());
  fflush(stdout);
  return kResultOk;
}

int32_t Navigator::GetDataSetInfo(const Args&, const Ints&, Reply& r) {
  if (mapFolder_.empty()) return kResultUnavailable;
  r.Text(mapName_);
  r.Text(mapFolder_);
  r.Int(static_cast<int64_t>(categories_.Categories().size()));
  r.Int(static_cast<int64_t>(streets_.Streets().size()));
  return kResultOk;
}

int32_t Navigator::GetUniqueDeviceId(const Args&, const Ints&, Reply& r) {
  // The kind says where the id comes from: 1 the device's identifier, 2 navigator.ini, 0 none.
  if (!config_.deviceId.empty()) {
    r.Text(config_.deviceId);
    r.Int(2);
  } else if (!hardwareId_.empty()) {
    r.Text(hardwareId_);
    r.Int(1);
  } else {
    r.Text("00000000");
    r.Int(0);
  }
  return kResultOk;
}

int32_t Navigator::NavigateToCoordinates(const Args& a, const Ints& n, Reply&) {
  destination_ = {true, {n[0], n[1]}, std::string(a[2])};
  follow_ = true;
  return kResultOk;
}

int32_t Navigator::NavigateToFavorite(const Args&, const Ints& n, Reply&) {
  const Favorite* f = favorites_.Get(n[0]);
  if (!f) return kResultNotFound;
  destination_ = {true, f->pos, f->name};
  follow_ = true;
  return kResultOk;
}

// Address arguments: place, street, house number, postcode (not used: the map has none).
int32_t Navigator::NavigateToAddress(const Args& a, const Ints&, Reply&) {
  GeocodeHit hit;
  if (!streets_.Geocode(a[0], a[1], a[2], hit)) return kResultNotFound;
  destination_ = {true, hit.pos, hit.street.empty() ? hit.place : hit.street};
  follow_ = true;
  return kResultOk;
}

int32_t Navigator::ShowAddressOnMap(const Args& a, const Ints&, Reply&) {
  GeocodeHit hit;
  if (!streets_.Geocode(a[0], a[1], a[2], hit)) return kResultNotFound;
  ShowAt(hit.pos, 400);
  return kResultOk;
}

int32_t Navigator::ShowCoordinatesOnMap(const Args&, const Ints& n, Reply&) {
  ShowAt({n[0], n[1]}, viewSpan_);
  return kResultOk;
}

int32_t Navigator::ShowRectangleOnMap(const Args&, const Ints& n, Reply&) {
  MapPoint a{n[0], n[1]}, b{n[2], n[3]};
  MapPoint centre = Interpolate(a, b, 0.5);
  double span = std::max(DistanceMetres(a, {b.x, a.y}), DistanceMetres(a, {a.x, b.y}));
  ShowAt(centre, span * 1.1);
  return kResultOk;
}

// Location fields: the street's closest point (x, y), the distance to it in metres, the street,
// the house number, the speed limit there; the Ex call adds the place.
int32_t Navigator::GetLocationInfo(const Args&, const Ints& n, Reply& r) {
  LocationInfo info;
  if (!streets_.Locate({n[0], n[1]}, kLocateMetres, info)) return kResultNotFound;
  r.Point(info.onStreet);
  r.Int(info.metres);
  r.Text(info.street);
  r.Int(info.houseNumber);
  r.Int(info.speedLimit);
  return kResultOk;
}

int32_t Navigator::GetLocationInfoEx(const Args& a, const Ints& n, Reply& r) {
  int32_t code = GetLocationInfo(a, n, r);
  if (code != kResultOk) return code;
  LocationInfo info;
  streets_.Locate({n[0], n[1]}, kLocateMetres, info);
  r.Text(info.place);
  return kResultOk;
}

// Route fields: remaining metres and seconds, total metres and seconds, destination x and y,
// next route point x and y, metres to it, speed, heading, speed limit here, next point index.
int32_t Navigator::GetRouteInfo(const Args&, const Ints&, Reply& r) {
  GpsFix fix = Position();
  if (config_.mode != GpsMode::kTrack || !fix.valid) return kResultUnavailable;
  const auto& points = track_.Points();
  size_t next = std::min(fix.segment + 1, points.size() - 1);
  double total = 0, remaining = DistanceMetres(fix.pos, points[next].pos);
  for (size_t i = 1; i < points.size(); i++) {
    double d = DistanceMetres(points[i - 1].pos, points[i].pos);
    total += d;
    if (i > next) remaining += d;
  }
  double duration = track_.Duration();
  double left = total > 0 ? duration * remaining / total : 0;
  LocationInfo here;
  bool onStreet = streets_.Locate(fix.pos, 50, here);
  r.Int(std::lround(remaining));
  r.Int(std::lround(left));
  r.Int(std::lround(total));
  r.Int(std::lround(duration));
  r.Point(points.back().pos);
  r.Point(points[next].pos);
  r.Int(std::lround(DistanceMetres(fix.pos, points[next].pos)));
  r.Int(fix.speed);
  r.Int(fix.heading);
  r.Int(onStreet ? here.speedLimit : 0);
  r.Int(static_cast<int64_t>(next));
  return kResultOk;
}

// Settings: 0 day colours, 1 night colours.
int32_t Navigator::ChangeSetting(const Args&, const Ints& n, Reply&) {
  if (n[0] != 0 && n[0] != 1) return kResultNotFound;
  night_ = n[0] == 1;
  return kResultOk;
}

int32_t Navigator::SwitchMapCall(const Args& a, const Ints&, Reply&) {
  std::string error;
  if (!SwitchMap(std::string(a[0]), error)) {
    Warn("SwitchMapV01: " + error);
    return kResultNotFound;
  }
  return kResultOk;
}

int32_t Navigator::SetNavigatorProperty(const Args&, const Ints& n, Reply&) {
  properties_[n[0]] = n[1];
  return kResultOk;
}

int32_t Navigator::GetCurrentPosition(const Args&, const Ints&, Reply& r) {
  GpsFix fix = Position();
  r.Int(fix.valid ? 1 : 0);
  r.Point(fix.valid ? fix.pos : MapPoint{});
  r.Int(fix.valid ? fix.heading : 0);
  r.Int(fix.valid ? fix.speed : 0);
  return kResultOk;
}

// Geocode fields: x, y, house number, street, place.
int32_t Navigator::Geocode(const Args& a, const Ints&, Reply& r) {
  GeocodeHit hit;
  if (!streets_.Geocode(a[0], a[1], a[2], hit)) return kResultNotFound;
  r.Point(hit.pos);
  r.Int(hit.houseNumber);
  r.Text(hit.street);
  r.Text(hit.place);
  return kResultOk;
}

int32_t Navigator::GeocodeExtended(const Args& a, const Ints& n, Reply& r) { return Geocode(a, n, r); }

int32_t Navigator::ClearFavorite(const Args&, const Ints& n, Reply&) {
  std::string error;
  bool existed = false;
  if (!favorites_.Clear(n[0], error, existed)) {
    Warn("ClearFavoriteV01: " + error);
    return kResultFailed;
  }
  return existed ? kResultOk : kResultNotFound;
}

// Favourite arguments: index, name, address, x, y.
int32_t Navigator::SetFavorite(const Args& a, const Ints& n, Reply&) {
  if (n[0] < 0 || n[0] >= kMaxFavorites || a[1].size() >= sdk_wire::kFavoriteNameWidth ||
      a[2].size() >= sdk_wire::kFavoriteAddressWidth) {
    Warn("SetFavoriteV01: index out of range or text too long");
    return kResultBadRequest;
  }
  std::string error;
  if (!favorites_.Set(n[0], {std::string(a[1]), std::string(a[2]), {n[3], n[4]}}, error)) {
    Warn("SetFavoriteV01: " + error);
    return kResultFailed;
  }
  return kResultOk;
}

int32_t Navigator::GetFavorite(const Args&, const Ints& n, Reply& r) {
  const Favorite* f = favorites_.Get(n[0]);
  if (!f) return kResultNotFound;
  r.Text(f->name);
  r.Text(f->address);
  r.Point(f->pos);
  return kResultOk;
}

int32_t Navigator::MakePoiVisible(const Args&, const Ints& n, Reply&) {
  if (n[1])
    visiblePoiTypes_.insert(n[0]);
  else
    visiblePoiTypes_.erase(n[0]);
  return kResultOk;
}

// The last argument is accepted and not stored: a point carries one text.
int32_t Navigator::AddPoi(const Args& a, const Ints& n, Reply&) {
  if (a[3].size() > kMaxPoiText) {
    Warn("AddPoiV01: description longer than " + std::to_string(kMaxPoiText) + " bytes");
    return kResultBadRequest;
  }
  if (mapFolder_.empty()) return kResultUnavailable;
  std::string error;
  StoreResult s = categories_.Add(a[0], {n[1], n[2]}, a[3], error);
  return s == StoreResult::kOk ? kResultOk : StoreError("AddPoiV01", s, error);
}

int32_t Navigator::DeleteClosestPoi(const Args& a, const Ints& n, Reply&) {
  std::string error;
  StoreResult s = categories_.DeleteClosest(a[0], {n[1], n[2]}, error);
  return s == StoreResult::kOk ? kResultOk : StoreError("DeleteClosestPoiV01", s, error);
}

int32_t Navigator::DeleteAllPoi(const Args& a, const Ints&, Reply&) {
  std::string error;
  StoreResult s = categories_.DeleteAll(a[0], error);
  return s == StoreResult::kOk ? kResultOk : StoreError("DeleteAllPoiV01", s, error);
}

int32_t Navigator::MakeUserPoiVisible(const Args& a, const Ints& n, Reply&) {
  if (!categories_.SetVisible(a[0], n[1] != 0)) {
    Warn("MakeUserPoiVisibleV01: no category \"" + std::string(a[0].substr(0, 64)) + "\" in the map");
    return kResultNotFound;
  }
  return kResultOk;
}

int32_t Navigator::MoveClosestPoi(const Args& a, const Ints& n, Reply&) {
  std::string error;
  StoreResult s = categories_.MoveClosest(a[0], {n[1], n[2]}, {n[3], n[4]}, error);
  return s == StoreResult::kOk ? kResultOk : StoreError("MoveClosestPoiV01", s, error);
}

int32_t Navigator::BringNavigatorToForeground(const Args&, const Ints&, Reply&) {
  if (host_) host_->BringToForeground();
  return kResultOk;
}

int32_t Navigator::SwitchToNavigatorView(const Args&, const Ints&, Reply&) {
  follow_ = true;
  if (host_) host_->BringToForeground();
  return kResultOk;
}

// The int is 1: external positions are accepted (they are not fed anywhere yet; the GPS
// source of navigator.ini keeps the position).
int32_t Navigator::EnableExternalGPSInput(const Args&, const Ints&, Reply& r) {
  externalGps_ = true;
  r.Int(1);
  return kResultOk;
}

int32_t Navigator::DisableExternalGPSInput(const Args&, const Ints&, Reply&) {
  externalGps_ = false;
  return kResultOk;
}

}  // namespace nav
