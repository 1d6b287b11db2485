// The navigator's state and its answers to SDK requests. A request is its list of fields (the
// call name first); the answer is the list of reply fields, the result code first. Nothing here
// touches the calls folder or the screen: the serving loop passes requests in, and the window
// reads the state to draw it.
//
// Start reading at Navigator::Handle and the call table in navigator.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "navigator/config.h"
#include "navigator/favorites.h"
#include "navigator/gpx.h"
#include "navigator/ov2.h"
#include "navigator/streets.h"
#include "sdk/transport/call_table.h"

namespace nav {

// Result codes in field 0 of a reply.
enum ResultCode : int32_t {
  kResultOk = 0,
  kResultBadRequest = 1,   // unknown call, wrong number of arguments, bad integer, bad value
  kResultNotFound = 2,     // no such category, point, favourite, address or street nearby
  kResultUnavailable = 3,  // no route (not replaying a track), no map loaded
  kResultFailed = 4,       // a file could not be written
};

constexpr int kCallCount = kSdkCallCount;

// Seconds on a monotonic clock.
using Clock = std::function<double()>;

// What requests do to the window, which lives outside this class.
class NavigatorHost {
 public:
  virtual ~NavigatorHost() = default;
  // BringNavigatorToForegroundV01 and SwitchToNavigatorViewV01.
  virtual void BringToForeground() = 0;
};

struct Destination {
  bool set = false;
  MapPoint pos;
  std::string label;
};

class Navigator {
 public:
  // `programFolder` is the device folder of the executable (ending in '\'), where relative
  // names of navigator.ini are found. Every file is reached by its device path.
  Navigator(NavigatorConfig config, std::string programFolder, Clock clock, std::string hardwareId = "");

  // Loads the GPS source, the map and the favourites. Problems go to `warnings`; the navigator
  // runs with what could be loaded (no track: no fix; no map folder: no streets, no categories).
  void Start(std::vector<std::string>& warnings);

  // Answers one request. Never empty: the result code comes first. A call it serves is answered
  // in the call's full shape, with nothing to report as zeros, empty texts or a list of no
  // pairs; an unknown or malformed request gets the result code alone.
  std::vector<std::string> Handle(const std::vector<std::string_view>& request);

  // The name of call `i` (0 .. kCallCount-1) and its argument letters (i integer, t text), as
  // the call table in sdk/transport gives them.
  static const char* CallName(int i);
  static const char* CallArgs(int i);
  // Call `i`'s reply with nothing to report: `code`, then zero for every integer, empty texts,
  // a list of no pairs. The client reads such a reply as the code, whatever the call.
  static std::vector<std::string> EmptyReply(int i, int32_t code);

  void SetHost(NavigatorHost* host) { host_ = host; }
  bool StopRequested() const { return stopRequested_; }

  // For the screen.
  GpsFix Position() const;
  const StreetMap& Streets() const { return streets_; }
  CategoryStore& Categories() { return categories_; }
  const std::string& MapFolder() const { return mapFolder_; }
  const std::string& MapName() const { return mapName_; }
  const Destination& Target() const { return destination_; }
  // The view follows the position until a request moves it elsewhere.
  bool FollowsPosition() const { return follow_; }
  MapPoint ViewCentre() const;
  double ViewSpanMetres() const { return viewSpan_; }
  // The flashed message while it is due, else empty.
  std::string FlashText() const;
  double FlashUntil() const { return flashUntil_; }
  bool NightColours() const { return night_; }
  const TrackReplay& Track() const { return track_; }
  double Now() const { return clock_(); }
  bool ExternalGps() const { return externalGps_; }

  // Loads the map of a device folder; on failure the current map stays.
  bool SwitchMap(const std::string& deviceFolder, std::string& error);

 private:
  using Args = std::vector<std::string_view>;
  using Ints = std::vector<int32_t>;
  class Reply;
  using Handler = int32_t (Navigator::*)(const Args&, const Ints&, Reply&);

  int32_t GetRouteCoordinates(const Args&, const Ints&, Reply&);
  int32_t StopApplication(const Args&, const Ints&, Reply&);
  int32_t GetApplicationVersion(const Args&, const Ints&, Reply&);
  int32_t FlashMessage(const Args&, const Ints&, Reply&);
  int32_t GetDataSetInfo(const Args&, const Ints&, Reply&);
  int32_t GetUniqueDeviceId(const Args&, const Ints&, Reply&);
  int32_t NavigateToCoordinates(const Args&, const Ints&, Reply&);
  int32_t NavigateToFavorite(const Args&, const Ints&, Reply&);
  int32_t NavigateToAddress(const Args&, const Ints&, Reply&);
  int32_t ShowAddressOnMap(const Args&, const Ints&, Reply&);
  int32_t ShowCoordinatesOnMap(const Args&, const Ints&, Reply&);
  int32_t ShowRectangleOnMap(const Args&, const Ints&, Reply&);
  int32_t GetLocationInfo(const Args&, const Ints&, Reply&);
  int32_t GetLocationInfoEx(const Args&, const Ints&, Reply&);
  int32_t GetRouteInfo(const Args&, const Ints&, Reply&);
  int32_t ChangeSetting(const Args&, const Ints&, Reply&);
  int32_t SwitchMapCall(const Args&, const Ints&, Reply&);
  int32_t SetNavigatorProperty(const Args&, const Ints&, Reply&);
  int32_t GetCurrentPosition(const Args&, const Ints&, Reply&);
  int32_t Geocode(const Args&, const Ints&, Reply&);
  int32_t GeocodeExtended(const Args&, const Ints&, Reply&);
  int32_t ClearFavorite(const Args&, const Ints&, Reply&);
  int32_t SetFavorite(const Args&, const Ints&, Reply&);
  int32_t GetFavorite(const Args&, const Ints&, Reply&);
  int32_t MakePoiVisible(const Args&, const Ints&, Reply&);
  int32_t AddPoi(const Args&, const Ints&, Reply&);
  int32_t DeleteClosestPoi(const Args&, const Ints&, Reply&);
  int32_t DeleteAllPoi(const Args&, const Ints&, Reply&);
  int32_t MakeUserPoiVisible(const Args&, const Ints&, Reply&);
  int32_t MoveClosestPoi(const Args&, const Ints&, Reply&);
  int32_t BringNavigatorToForeground(const Args&, const Ints&, Reply&);
  int32_t SwitchToNavigatorView(const Args&, const Ints&, Reply&);
  int32_t EnableExternalGPSInput(const Args&, const Ints&, Reply&);
  int32_t DisableExternalGPSInput(const Args&, const Ints&, Reply&);

  int32_t StoreError(const char* call, StoreResult r, const std::string& error);
  void ShowAt(MapPoint centre, double spanMetres);
  void Warn(const std::string& what) const;

  NavigatorConfig config_;
  std::string programFolder_;
  Clock clock_;
  std::string hardwareId_;
  NavigatorHost* host_ = nullptr;
  double started_ = 0;

  TrackReplay track_;
  StreetMap streets_;
  CategoryStore categories_;
  Favorites favorites_;
  std::string mapFolder_;  // device path, ends in '\'
  std::string mapName_;

  bool stopRequested_ = false;
  bool follow_ = true;
  MapPoint viewCentre_;
  double viewSpan_ = 800;
  std::string flashText_;
  double flashUntil_ = 0;
  bool night_ = false;
  bool externalGps_ = false;
  Destination destination_;
  std::map<int32_t, int32_t> properties_;
  std::set<int32_t> visiblePoiTypes_;
};

}  // namespace nav
