// The font answer cache: a small text file, one record a line, fields separated by tabs and
// escaped (%XX) so no name or path can break a line. The file is outside input: every field is
// checked, and anything unexpected makes the whole file a miss.
#include "ce/gdi/font_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ce::gdi {

namespace {

constexpr const char* kHeader = "ce-font-cache\t1";
constexpr size_t kMaxFileBytes = 64 * 1024;
constexpr size_t kMaxStamps = 1024;
constexpr size_t kMaxEntries = 64;
constexpr size_t kMaxPath = 511;    // what a font instance keeps of a path
constexpr size_t kMaxFamily = 127;  // what a face name turns into at most

const char* const kSteering[] = {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME",
                                 "XDG_CONFIG_HOME", "XDG_DATA_HOME",   "XDG_CACHE_HOME"};

std::string Escape(const std::string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (unsigned char c : s) {
    if (c == '%' || c < 0x20 || c == 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(const std::string& s, size_t limit, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '%') {
      if (i + 2 >= s.size()) return false;  // two hex digits must follow
      int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
      if (hi < 0 || lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      if (c == 0) return false;  // names and paths are C strings
      i += 2;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
    out->push_back(c);
    if (out->size() > limit) return false;
  }
  return true;
}

bool Number(const std::string& s, long long low, long long high, long long* value) {
  if (s.empty() || s.size() > 20) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || end != s.c_str() + s.size() || v < low || v > high) return false;
  *value = v;
  return true;
}

bool Flag(const std::string& s, bool* value) {
  if (s != "0" && s != "1") return false;
  *value = s == "1";
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

bool SameQuery(const FontQuery& a, const FontQuery& b) {
  return a.weight == b.weight && a.italic == b.italic && a.family == b.family;
}

bool ReadAll(const std::string& path, std::string* text) {
  // O_NONBLOCK: a FIFO put in the cache's place must not hold up the start; only a regular file
  // is read.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  text->clear();
  char buf[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text->append(buf, static_cast<size_t>(n));
    if (text->size() > kMaxFileBytes) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  return ok;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string FontAnswerCache::Environment() {
  std::string line;
  for (const char* name : kSteering) {
    const char* value = std::getenv(name);
    line += name;
    if (value) {
      line += '=';
      line += value;
    }
    line += ';';
  }
  return line;
}

FontAnswerCache::Stamp FontAnswerCache::StampOf(const std::string& path) {
  Stamp s;
  s.path = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.size = static_cast<long long>(st.st_size);
  }
  return s;
}

bool FontAnswerCache::Same(const Stamp& a, const Stamp& b) {
  return a.mtimeNs == b.mtimeNs && a.size == b.size && a.path == b.path;
}

void FontAnswerCache::Load() {
  loaded_ = true;
  valid_ = false;
  stamps_.clear();
  entries_.clear();
  std::string text;
  if (file_.empty() || !ReadAll(file_, &text)) return;

  std::vector<Stamp> stamps;
  std::vector<Entry> entries;
  bool sawEnvironment = false;
  size_t start = 0, lineNumber = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) return;  // a cut-off last line: the file is not whole
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (lineNumber++ == 0) {
      if (line != kHeader) return;
      continue;
    }
    std::vector<std::string> f = Fields(line);
    if (f[0] == "env" && f.size() == 2 && !sawEnvironment) {
      std::string environment;
      if (!Unescape(f[1], 4096, &environment) || environment != Environment()) return;
      sawEnvironment = true;
    } else if (f[0] == "stamp" && f.size() == 4) {
      Stamp s;
      if (stamps.size() == kMaxStamps || !Number(f[1], -1, 1LL << 62, &s.mtimeNs) ||
          !Number(f[2], -1, 1LL << 62, &s.size) || !Unescape(f[3], 4095, &s.path) || s.path.empty())
        return;
      if (!Same(s, StampOf(s.path))) return;  // something fontconfig reads has changed
      stamps.push_back(std::move(s));
    } else if (f[0] == "answer" && f.size() == 10) {
      Entry e;
      long long weight = 0, index = 0;
      if (entries.size() == kMaxEntries || !Flag(f[1], &e.answer.found) || !Number(f[2], 1, 1000, &weight) ||
          !Flag(f[3], &e.query.italic) || !Number(f[4], 0, 1 << 30, &index) || !Flag(f[5], &e.answer.boldFace) ||
          !Flag(f[6], &e.answer.italicFace) || !Unescape(f[7], kMaxFamily, &e.query.family) ||
          !Unescape(f[8], kMaxFamily, &e.answer.familyUtf8) || !Unescape(f[9], kMaxPath, &e.answer.path))
        return;
      if (e.answer.found == e.answer.path.empty()) return;  // a found face has a file, a miss none
      e.query.weight = static_cast<int>(weight);
      e.answer.index = static_cast<int>(index);
      entries.push_back(std::move(e));
    } else {
      return;
    }
  }
  if (!sawEnvironment || stamps.empty()) return;
  stamps_ = std::move(stamps);
  entries_ = std::move(entries);
  valid_ = true;
}

bool FontAnswerCache::Find(const FontQuery& query, FontAnswer* answer) {
  if (!loaded_) Load();
  if (!valid_) return false;
  for (const Entry& e : entries_) {
    if (SameQuery(e.query, query)) {
      *answer = e.answer;
      return true;
    }
  }
  return false;
}

bool FontAnswerCache::Store(const FontQuery& query, const FontAnswer& answer, const std::vector<std::string>& watched) {
  if (file_.empty() || watched.empty() || query.family.size() > kMaxFamily || answer.familyUtf8.size() > kMaxFamily ||
      answer.path.size() > kMaxPath || query.weight < 1 || query.weight > 1000 || answer.index < 0 ||
      answer.found == answer.path.empty())
    return false;
  if (!loaded_) Load();
  if (!valid_) {
    stamps_.clear();
    entries_.clear();
    valid_ = true;
  }
  for (const std::string& path : watched) {
    if (path.empty() || stamps_.size() == kMaxStamps) continue;
    bool known = std::any_of(stamps_.begin(), stamps_.end(), [&](const Stamp& s) { return s.path == path; });
    if (!known) stamps_.push_back(StampOf(path));
  }
  auto same = [&](const Entry& e) { return SameQuery(e.query, query); };
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), same), entries_.end());
  if (entries_.size() == kMaxEntries) entries_.erase(entries_.begin());  // the oldest answer goes
  entries_.push_back(Entry{query, answer});

  std::string text = std::string(kHeader) + "\n";
  text += "env\t" + Escape(Environment()) + "\n";
  for (const Stamp& s : stamps_)
    text += "stamp\t" + std::to_string(s.mtimeNs) + "\t" + std::to_string(s.size) + "\t" + Escape(s.path) + "\n";
  for (const Entry& e : entries_) {
    text += std::string("answer\t") + (e.answer.found ? "1" : "0") + "\t" + std::to_string(e.query.weight) + "\t" +
            (e.query.italic ? "1" : "0") + "\t" + std::to_string(e.answer.index) + "\t" +
            (e.answer.boldFace ? "1" : "0") + "\t" + (e.answer.italicFace ? "1" : "0") + "\t" + Escape(e.query.family) +
            "\t" + Escape(e.answer.familyUtf8) + "\t" + Escape(e.answer.path) + "\n";
  }
  if (text.size() > kMaxFileBytes) return false;

  // Written aside and renamed, so a reader sees the old file or the new one, never half of one.
  const std::string aside = file_ + ".tmp." + std::to_string(static_cast<long>(::getpid()));
  int fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text);
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(aside.c_str(), file_.c_str()) == 0;
  if (!ok) ::unlink(aside.c_str());
  return ok;
}

std::string FontCacheFile() {
  if (const char* file = std::getenv("CE_FONT_CACHE")) return file;
  const char* device = std::getenv("CE_DEVICE");
  if (device && *device) return std::string(device) + "/fonts.cache";
  return "";
}

}  // namespace ce::gdi
