// The navigator's 34 SDK calls, one operation each, named as the call.
//
// Arguments: the link, the status out-parameter, the caller's result record (for calls that
// return data), then the call's own arguments in the order they travel. Integers travel as
// decimal text, texts unchanged (a "|" inside a text splits it into two fields on the wire).
// Return codes and status values are described in navigator_link.h.
//
// A result record is written only when the reply carries the call's full field count, and then
// wholly, whatever result code the status shows. A reply of one field (the result code alone)
// leaves it as it was. Text results longer than their member are cut to its width.
#pragma once

#include <cstdint>

#include "ce/ce.h"
#include "sdk/navigator_link.h"

struct RouteCoordinate {
  INT x;
  INT y;
};

struct RouteCoordinatesResult {
  INT count;                // -1 until a reply with result code 0 and a count arrived
  RouteCoordinate* points;  // `count` pairs from malloc, the caller's to free(); null when none
};

struct ApplicationVersionResult {
  char version[16];
  INT build;
};

struct DataSetInfoResult {
  char dataSetName[128];
  char currentMapFolder[128];  // folder of the current map, ending with a backslash
  INT categoryCount;           // point-of-interest categories in the map
  INT streetCount;             // streets in the map
};

struct UniqueDeviceIdResult {
  char deviceId[32];
  INT deviceIdKind;
};

// The closest street to an asked position: the point on it, how far it is, its name, the house
// number there and the speed limit there.
struct LocationInfoResult {
  INT locationX;
  INT locationY;
  INT distance;  // metres from the asked position to (locationX, locationY)
  char street[128];
  INT houseNumber;
  INT speedLimit;  // km/h
};

struct LocationInfoExResult {
  INT locationX;
  INT locationY;
  INT distance;  // metres from the asked position to (locationX, locationY)
  char street[128];
  INT houseNumber;
  INT speedLimit;  // km/h
  char place[128];
};

struct RouteInfoResult {
  INT value[13];
};

struct CurrentPositionResult {
  INT fix;  // 0: no valid GPS position
  INT x;
  INT y;
  INT heading;
  INT speed;
};

struct GeocodeResult {
  INT x;
  INT y;
  INT houseNumber;
  char street[128];
  char place[128];  // no caller fixes this width; 128 like the other place texts
};

struct FavoriteResult {
  char name[64];
  char address[128];
  INT x;
  INT y;
};

// Reads a variable-length list: count, then count x/y pairs. Returns 0 whenever a reply was
// read (its outcome is in status: -2 for fewer than two fields, -5 when the list could not be
// allocated), -1 when nothing could be sent, and -2 when the navigator could not be made ready.
// The count is cut to the pairs the reply holds; a negative count gives an empty list.
INT GetRouteCoordinatesV01(NavigatorLink* link, INT* status, RouteCoordinatesResult* result);
// Only checks that the navigator runs: never starts it (status -5, return 0 when it is absent).
INT StopApplicationV01(NavigatorLink* link, INT* status);
INT GetApplicationVersionV01(NavigatorLink* link, INT* status, ApplicationVersionResult* result);
INT FlashMessageV01(NavigatorLink* link, INT* status, const char* message, INT milliseconds);
INT GetDataSetInfoV01(NavigatorLink* link, INT* status, DataSetInfoResult* result);
INT GetUniqueDeviceIdV01(NavigatorLink* link, INT* status, UniqueDeviceIdResult* result);
INT NavigateToCoordinatesV01(NavigatorLink* link, INT* status, INT x, INT y, const char* name);
INT NavigateToFavoriteV01(NavigatorLink* link, INT* status, INT favorite);
INT NavigateToAddressV01(NavigatorLink* link, INT* status, const char* city, const char* street,
                         const char* houseNumber, const char* postcode);
INT ShowAddressOnMapV01(NavigatorLink* link, INT* status, const char* city, const char* street, const char* houseNumber,
                        const char* postcode);
INT ShowCoordinatesOnMapV01(NavigatorLink* link, INT* status, INT x, INT y);
INT ShowRectangleOnMapV01(NavigatorLink* link, INT* status, INT left, INT top, INT right, INT bottom);
INT GetLocationInfoV01(NavigatorLink* link, INT* status, LocationInfoResult* result, INT x, INT y);
INT GetLocationInfoExV01(NavigatorLink* link, INT* status, LocationInfoExResult* result, INT x, INT y);
INT GetRouteInfoV01(NavigatorLink* link, INT* status, RouteInfoResult* result);
INT ChangeSettingV01(NavigatorLink* link, INT* status, INT setting);
INT SwitchMapV01(NavigatorLink* link, INT* status, const char* mapFolder);
INT SetNavigatorPropertyV01(NavigatorLink* link, INT* status, INT property, INT value);
INT GetCurrentPositionV01(NavigatorLink* link, INT* status, CurrentPositionResult* result);
INT GeocodeV01(NavigatorLink* link, INT* status, GeocodeResult* result, const char* city, const char* street,
               const char* houseNumber);
INT GeocodeExtendedV01(NavigatorLink* link, INT* status, GeocodeResult* result, const char* city, const char* street,
                       const char* houseNumber, const char* postcode);
INT ClearFavoriteV01(NavigatorLink* link, INT* status, INT favorite);
INT SetFavoriteV01(NavigatorLink* link, INT* status, INT favorite, const char* name, const char* address, INT x, INT y);
INT GetFavoriteV01(NavigatorLink* link, INT* status, FavoriteResult* result, INT favorite);
INT MakePoiVisibleV01(NavigatorLink* link, INT* status, INT category, INT visible);
INT AddPoiV01(NavigatorLink* link, INT* status, const char* category, INT x, INT y, const char* description,
              const char* extra);
INT DeleteClosestPoiV01(NavigatorLink* link, INT* status, const char* category, INT x, INT y);
INT DeleteAllPoiV01(NavigatorLink* link, INT* status, const char* category);
INT MakeUserPoiVisibleV01(NavigatorLink* link, INT* status, const char* category, INT visible);
INT MoveClosestPoiV01(NavigatorLink* link, INT* status, const char* category, INT fromX, INT fromY, INT toX, INT toY);
INT BringNavigatorToForegroundV01(NavigatorLink* link, INT* status);
INT SwitchToNavigatorViewV01(NavigatorLink* link, INT* status);
// With a two-field reply, *result := field 1; with one field it is left as it was.
INT EnableExternalGPSInputV01(NavigatorLink* link, INT* status, INT* result);
INT DisableExternalGPSInputV01(NavigatorLink* link, INT* status);
