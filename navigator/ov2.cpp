#include "navigator/ov2.h"

#include "navigator/device_file.h"
#include "ov2/ov2.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nav {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == suffix;
}

}  // namespace

size_t Ov2Contents::PointCount() const {
  return static_cast<size_t>(
      std::count_if(records.begin(), records.end(), [](const Ov2Record& r) { return r.isPoint; }));
}

Ov2Contents ParseOv2(std::string_view bytes) {
  ov2::Reading reading = ov2::Read(bytes);
  Ov2Contents out;
  out.records.reserve(reading.records.size());
  for (const ov2::Record& r : reading.records) {
    Ov2Record rec;
    rec.type = r.type;
    rec.raw.assign(r.raw);
    rec.isPoint = r.isPoint;
    rec.pos = {r.x, r.y};
    rec.text.assign(r.text);
    out.records.push_back(std::move(rec));
  }
  out.wholeBytes = reading.wholeBytes;
  out.fileBytes = reading.fileBytes;
  out.tornTail = reading.ending == ov2::Ending::kTornTail;
  if (reading.ending == ov2::Ending::kDamaged) out.error = reading.endText;
  return out;
}

std::string EncodeOv2Point(MapPoint pos, std::string_view text) { return ov2::EncodePoint(pos.x, pos.y, text); }

const char* StoreResultText(StoreResult r) {
  switch (r) {
    case StoreResult::kOk:
      return "ok";
    case StoreResult::kNotFound:
      return "not found";
    case StoreResult::kBadName:
      return "bad category name";
    case StoreResult::kMalformed:
      return "malformed category file";
    case StoreResult::kIoError:
      return "file error";
  }
  return "?";
}

namespace {

// Category files are read whole; one of this size holds about three million points.
constexpr uint64_t kMaxCategoryFileBytes = 64u << 20;

bool SeekTo(HANDLE file, uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(ERROR_SUCCESS);
  DWORD low = SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS);
}

bool WriteAt(HANDLE file, const std::string& bytes, uint64_t offset) {
  if (!SeekTo(file, offset)) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &put, nullptr) || put == 0)
      return false;
    done += put;
  }
  return true;
}

// The whole file behind an open handle, at most the category file limit.
bool ReadThrough(HANDLE file, uint64_t size, std::string& bytes) {
  if (size > kMaxCategoryFileBytes || !SeekTo(file, 0)) return false;
  bytes.assign(static_cast<size_t>(size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr)) return false;
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  return true;
}

}  // namespace

bool ReadOv2File(const std::string& path, Ov2Contents& contents, std::string& error, bool* missing) {
  std::string bytes;
  ReadResult r = ReadDeviceFile(path, kMaxCategoryFileBytes, bytes, error);
  if (missing) *missing = r == ReadResult::kMissing;
  if (r != ReadResult::kOk) return false;
  contents = ParseOv2(bytes);
  return true;
}

StoreResult RewriteOv2File(const std::string& path, const std::vector<Ov2Record>& records, std::string& error) {
  std::string bytes;
  for (const Ov2Record& r : records) bytes += r.raw;
  return ReplaceDeviceFile(path, bytes, error) ? StoreResult::kOk : StoreResult::kIoError;
}

bool IsValidCategoryName(std::string_view name) {
  if (name.empty() || name.size() > 200 || name == "." || name == "..") return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("\\/:*?\"<>|", c) != nullptr) return false;
  }
  return name.front() != ' ' && name.back() != ' ' && name.back() != '.';
}

void CategoryStore::Open(const std::string& folder, std::vector<std::string>& warnings) {
  std::map<std::string, bool> wasVisible;
  if (folder == folder_)
    for (const auto& [key, c] : categories_) wasVisible[key] = c.visible;
  folder_ = folder;
  categories_.clear();
  if (!IsFolder(folder)) {
    warnings.push_back("cannot list map folder " + folder + ": " + ErrorText(GetLastError()));
    return;
  }
  std::vector<std::string> ov2s = ListFiles(folder, "*.ov2");
  std::map<std::string, std::string> bmps;  // lower-case stem -> file name
  for (const std::string& n : ListFiles(folder, "*.bmp")) bmps[Lower(n.substr(0, n.size() - 4))] = n;
  std::sort(ov2s.begin(), ov2s.end());
  for (const std::string& file : ov2s) {
    // The pattern also matches names like "x.ov2x" on some file systems: check the end.
    if (!EndsWithNoCase(file, ".ov2")) continue;
    std::string stem = file.substr(0, file.size() - 4);
    std::string key = Lower(stem);
    if (!IsValidCategoryName(stem) || categories_.count(key)) {
      warnings.push_back("skipping category file " + folder + file);
      continue;
    }
    Category c;
    c.name = stem;
    c.path = folder + file;
    if (auto it = bmps.find(key); it != bmps.end()) c.iconPath = folder + it->second;
    c.visible = wasVisible.count(key) ? wasVisible[key] : false;
    std::string error;
    if (!Sync(c, error)) warnings.push_back(error);
    categories_.emplace(key, std::move(c));
  }
}

const Category* CategoryStore::Find(std::string_view name) const {
  auto it = categories_.find(Lower(name));
  return it == categories_.end() ? nullptr : &it->second;
}

Category* CategoryStore::Lookup(std::string_view name) {
  auto it = categories_.find(Lower(name));
  return it == categories_.end() ? nullptr : &it->second;
}

bool CategoryStore::Sync(Category& c, std::string& error) {
  FileStamp now = StampOf(c.path);
  if (now == c.stamp) return true;
  if (!now.exists) {
    c.contents = {};
    c.stamp = now;
    return true;
  }
  Ov2Contents contents;
  if (!ReadOv2File(c.path, contents, error)) return false;
  if (!contents.error.empty())
    fprintf(stderr, "navigator: %s: %s\n", c.path.c_str(), contents.error.c_str());
  else if (contents.tornTail)
    fprintf(stderr, "navigator: %s: incomplete last record ignored (%llu of %llu bytes whole)\n", c.path.c_str(),
            static_cast<unsigned long long>(contents.wholeBytes), static_cast<unsigned long long>(contents.fileBytes));
  c.contents = std::move(contents);
  c.stamp = now;
  return true;
}

StoreResult CategoryStore::Add(std::string_view name, MapPoint pos, std::string_view text, std::string& error) {
  if (!IsValidCategoryName(name)) {
    error = "bad category name";
    return StoreResult::kBadName;
  }
  Category* c = Lookup(name);
  if (!c) {
    Category fresh;
    fresh.name = std::string(name);
    fresh.path = folder_ + fresh.name + ".ov2";
    c = &categories_.emplace(Lower(name), std::move(fresh)).first->second;
  }
  if (!Sync(*c, error)) return StoreResult::kIoError;
  if (!c->contents.error.empty()) {
    error = c->path + ": " + c->contents.error + "; not adding to it";
    return StoreResult::kMalformed;
  }
  // Others may read while we append; nobody else may write.
  HANDLE file = CreateFileW(Wide(c->path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot open " + c->path + ": " + ErrorText(GetLastError());
    return StoreResult::kIoError;
  }
  auto fail = [&](const char* what) {
    error = std::string(what) + " " + c->path + ": " + ErrorText(GetLastError());
    CloseHandle(file);
    c->stamp = {};
    return StoreResult::kIoError;
  };
  FileStamp opened = StampOfHandle(file);
  if (!opened.exists) return fail("cannot look at");
  // Someone changed the file between our look and the open: read it again through this handle.
  if (!(opened == c->stamp) && opened.size > 0) {
    std::string bytes;
    if (!ReadThrough(file, opened.size, bytes)) return fail("cannot read");
    c->contents = ParseOv2(bytes);
    if (!c->contents.error.empty()) {
      error = c->path + ": " + c->contents.error + "; not adding to it";
      c->stamp = opened;
      CloseHandle(file);
      return StoreResult::kMalformed;
    }
  } else if (opened.size == 0) {
    c->contents = {};
  }
  uint64_t end = c->contents.wholeBytes;
  if (opened.size > end) {
    fprintf(stderr, "navigator: %s: cutting off an incomplete last record (%llu bytes)\n", c->path.c_str(),
            static_cast<unsigned long long>(opened.size - end));
    if (!SeekTo(file, end) || !SetEndOfFile(file)) return fail("cannot truncate");
  }
  std::string record = EncodeOv2Point(pos, text);
  if (!WriteAt(file, record, end) || !FlushFileBuffers(file)) {
    error = "cannot write " + c->path + ": " + ErrorText(GetLastError());
    // Leave no partial record behind.
    if (SeekTo(file, end) && SetEndOfFile(file)) FlushFileBuffers(file);
    CloseHandle(file);
    c->stamp = {};
    return StoreResult::kIoError;
  }
  FileStamp written = StampOfHandle(file);
  CloseHandle(file);
  Ov2Record rec;
  rec.type = 2;
  rec.raw = std::move(record);
  rec.isPoint = true;
  rec.pos = pos;
  rec.text.assign(text);
  c->contents.wholeBytes += rec.raw.size();
  c->contents.fileBytes = c->contents.wholeBytes;
  c->contents.tornTail = false;
  c->contents.records.push_back(std::move(rec));
  c->stamp = written;
  return StoreResult::kOk;
}

StoreResult CategoryStore::Rewrite(Category& c, std::vector<Ov2Record> records, std::string& error) {
  // Skipper records describe blocks that a rewrite changes, and deleted records are dead space.
  std::erase_if(records, [](const Ov2Record& r) { return r.type == 0 || r.type == 1; });
  StoreResult r = RewriteOv2File(c.path, records, error);
  if (r != StoreResult::kOk) {
    c.stamp = {};
    return r;
  }
  c.contents = {};
  for (const Ov2Record& rec : records) c.contents.wholeBytes += rec.raw.size();
  c.contents.fileBytes = c.contents.wholeBytes;
  c.contents.records = std::move(records);
  c.stamp = StampOf(c.path);
  return StoreResult::kOk;
}

namespace {

// Index of the point record closest to `around`, or -1.
long Closest(const Ov2Contents& contents, MapPoint around) {
  long best = -1;
  double bestMetres = 0;
  for (size_t i = 0; i < contents.records.size(); i++) {
    if (!contents.records[i].isPoint) continue;
    double d = DistanceMetres(around, contents.records[i].pos);
    if (best < 0 || d < bestMetres) {
      best = static_cast<long>(i);
      bestMetres = d;
    }
  }
  return best;
}

}  // namespace

StoreResult CategoryStore::FindClosestForEdit(std::string_view name, MapPoint around, Category** category, long* index,
                                              std::string& error) {
  Category* c = Lookup(name);
  if (!c) {
    error = "no category " + std::string(name);
    return StoreResult::kNotFound;
  }
  if (!Sync(*c, error)) return StoreResult::kIoError;
  // A file with a malformed record is never partly rewritten: what follows it cannot be trusted.
  if (!c->contents.error.empty()) {
    error = c->path + ": " + c->contents.error;
    return StoreResult::kMalformed;
  }
  long i = Closest(c->contents, around);
  if (i < 0) {
    error = "no point in " + c->name;
    return StoreResult::kNotFound;
  }
  *category = c;
  *index = i;
  return StoreResult::kOk;
}

StoreResult CategoryStore::DeleteClosest(std::string_view name, MapPoint around, std::string& error) {
  Category* c = nullptr;
  long i = -1;
  StoreResult found = FindClosestForEdit(name, around, &c, &i, error);
  if (found != StoreResult::kOk) return found;
  std::vector<Ov2Record> records = c->contents.records;
  records.erase(records.begin() + i);
  return Rewrite(*c, std::move(records), error);
}

StoreResult CategoryStore::DeleteAll(std::string_view name, std::string& error) {
  Category* c = Lookup(name);
  if (!c) {
    error = "no category " + std::string(name);
    return StoreResult::kNotFound;
  }
  if (!Sync(*c, error)) return StoreResult::kIoError;
  if (!c->stamp.exists) {
    error = "no file for category " + c->name;
    return StoreResult::kNotFound;
  }
  // Records of types we do not know are not points: they stay.
  std::vector<Ov2Record> records = c->contents.records;
  std::erase_if(records, [](const Ov2Record& r) { return r.isPoint; });
  return Rewrite(*c, std::move(records), error);
}

StoreResult CategoryStore::MoveClosest(std::string_view name, MapPoint around, MapPoint to, std::string& error) {
  Category* c = nullptr;
  long i = -1;
  StoreResult found = FindClosestForEdit(name, around, &c, &i, error);
  if (found != StoreResult::kOk) return found;
  std::vector<Ov2Record> records = c->contents.records;
  Ov2Record& r = records[static_cast<size_t>(i)];
  r.pos = to;
  // x and y sit at the same offsets in both point record types.
  r.raw.replace(5, 8, ov2::EncodePoint(to.x, to.y, "").substr(5, 8));
  return Rewrite(*c, std::move(records), error);
}

bool CategoryStore::SetVisible(std::string_view name, bool visible) {
  Category* c = Lookup(name);
  if (!c) return false;
  c->visible = visible;
  return true;
}

void CategoryStore::Refresh() {
  for (auto& [key, c] : categories_) {
    std::string error;
    if (!Sync(c, error)) fprintf(stderr, "navigator: %s\n", error.c_str());
  }
}

}  // namespace nav
