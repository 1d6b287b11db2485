// The navigator's store of points of interest: one category file in the OV2 layout (ov2/ov2.h,
// whose reading rules for damage hold here too) per category, "<map folder><category>.ov2".
//
// Every change is durable before it is reported: an added record is written whole in one write
// and synced; deleting and moving write a new file beside the old one, sync it and rename it
// over. A file cut short by a crash still reads up to its last whole record, and the next
// append cuts the torn tail off first -- but only a tail that can be nothing but our own cut
// append (or zero bytes); damage anywhere else makes the file read-only to us.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "navigator/device_file.h"
#include "navigator/geo.h"
#include "ov2/ov2.h"

namespace nav {

// Longest description a record may carry; longer ones are refused rather than cut.
constexpr size_t kMaxPoiText = ov2::kMaxText;

struct Ov2Record {
  uint8_t type = 0;
  std::string raw;       // the record's bytes as stored
  bool isPoint = false;  // type 2 or 3 with a NUL-terminated text: has a position and a text
  MapPoint pos;
  std::string text;
};

struct Ov2Contents {
  std::vector<Ov2Record> records;
  uint64_t wholeBytes = 0;  // bytes of whole records from the start of the file
  uint64_t fileBytes = 0;
  bool tornTail = false;  // the last record is incomplete (a write cut short)
  std::string error;      // a malformed record before the end: nothing after it can be read
  size_t PointCount() const;
};

// Reads the records of a file image, by the rules of ov2::Read.
Ov2Contents ParseOv2(std::string_view bytes);

// The bytes of one type-2 record.
std::string EncodeOv2Point(MapPoint pos, std::string_view text);

enum class StoreResult { kOk, kNotFound, kBadName, kMalformed, kIoError };
const char* StoreResultText(StoreResult r);

// Reads a whole category file (a device path). False with `error` set when it cannot be read
// (`missing` says whether it is not there). A malformed file still returns true; see
// `contents.error`.
bool ReadOv2File(const std::string& path, Ov2Contents& contents, std::string& error, bool* missing = nullptr);

// Replaces a file in one step with the given records (temporary file, flushed, renamed over it
// with write-through).
StoreResult RewriteOv2File(const std::string& path, const std::vector<Ov2Record>& records, std::string& error);

// True for a category name that can be a file name in the map folder.
bool IsValidCategoryName(std::string_view name);

struct Category {
  std::string name;      // as the file is named (without ".ov2")
  std::string path;      // device path of the .ov2 file
  std::string iconPath;  // device path of the .bmp beside it, empty when there is none
  bool visible = false;
  FileStamp stamp;  // of the file when `contents` was read or last written by us
  Ov2Contents contents;
};

// The categories of one map folder. Names are matched ignoring ASCII case, as the device's
// file system does.
class CategoryStore {
 public:
  // Forgets everything and loads every "*.ov2" file of the folder (a device path ending in '\').
  // Problems with single files are added to `warnings`; the store still opens.
  void Open(const std::string& hostFolder, std::vector<std::string>& warnings);

  const std::string& Folder() const { return folder_; }
  const std::map<std::string, Category>& Categories() const { return categories_; }
  const Category* Find(std::string_view name) const;

  // Adds a point; a category without a file gets a new one (so new categories can be used
  // without reloading the map).
  StoreResult Add(std::string_view name, MapPoint pos, std::string_view text, std::string& error);
  StoreResult DeleteClosest(std::string_view name, MapPoint around, std::string& error);
  StoreResult DeleteAll(std::string_view name, std::string& error);
  StoreResult MoveClosest(std::string_view name, MapPoint around, MapPoint to, std::string& error);
  // False when the category is not loaded.
  bool SetVisible(std::string_view name, bool visible);

  // Re-reads the categories whose files changed on disk since we last saw them.
  void Refresh();

 private:
  Category* Lookup(std::string_view name);
  // Brings `c` up to date with its file; false with `error` when the file is unreadable.
  bool Sync(Category& c, std::string& error);
  StoreResult Rewrite(Category& c, std::vector<Ov2Record> records, std::string& error);
  // The category and the index of its point closest to `around`, for a delete or a move.
  StoreResult FindClosestForEdit(std::string_view name, MapPoint around, Category** category, long* index,
                                 std::string& error);

  std::string folder_;
  std::map<std::string, Category> categories_;  // key: lower-case name
};

}  // namespace nav
