// Font answers kept between runs: which font file fontconfig picked for a family, weight and
// slant. Starting fontconfig means parsing its whole configuration (tens of files); a program
// that asks for the same few faces on every start reads the answers back instead, for as long as
// nothing fontconfig's answer depends on has changed: every configuration file and folder it
// read, every font folder it knows, the chosen font files, the places a user's configuration
// would appear, and the environment variables that steer it. Any change, a damaged file or an
// unreadable one is simply a miss: fontconfig is asked again and the file is rewritten.
#pragma once

#include <string>
#include <vector>

#include "ce/types.h"

namespace ce::gdi {

struct FontQuery {
  std::string family;  // UTF-8, as given to fontconfig
  int weight = 400;    // 1..1000
  bool italic = false;
};

struct FontAnswer {
  bool found = false;       // false: fontconfig had nothing usable
  std::string path;         // the font file
  int index = 0;            // the face inside it
  bool boldFace = false;    // the face itself is bold
  bool italicFace = false;  // the face itself is slanted
  std::string familyUtf8;   // the family fontconfig reports for the file
};

// One cache file. The file is read and its stamps checked once, on the first Find; Store
// rewrites the whole file (written aside, then renamed into place).
class FontAnswerCache {
 public:
  explicit FontAnswerCache(std::string file) : file_(std::move(file)) {}

  // The cached answer for the query; false when there is none or the cache no longer holds.
  bool Find(const FontQuery& query, FontAnswer* answer);

  // Keeps an answer. `watched` names what the answer depends on (files or folders, present or
  // not); it replaces the stamps of a cache that did not hold. False when nothing was written.
  bool Store(const FontQuery& query, const FontAnswer& answer, const std::vector<std::string>& watched);

  // The environment that steers fontconfig, as one line (part of what must not change).
  static std::string Environment();

 private:
  struct Stamp {
    std::string path;
    long long mtimeNs = -1;  // -1: the path did not exist
    long long size = -1;
  };
  struct Entry {
    FontQuery query;
    FontAnswer answer;
  };

  void Load();
  static Stamp StampOf(const std::string& path);
  static bool Same(const Stamp& a, const Stamp& b);

  std::string file_;
  bool loaded_ = false;
  bool valid_ = false;  // the file's stamps all still hold
  std::vector<Stamp> stamps_;
  std::vector<Entry> entries_;
};

// The cache file this process uses: $CE_FONT_CACHE when set (empty: no cache), else
// fonts.cache in the device folder when CE_DEVICE is set, else none ("").
std::string FontCacheFile();

}  // namespace ce::gdi
