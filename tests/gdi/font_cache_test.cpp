// The font answer cache: answers come back only while everything they depend on is unchanged,
// and a damaged or foreign file is a miss, never a wrong answer.
#include "ce/gdi/font_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

using ce::gdi::FontAnswer;
using ce::gdi::FontAnswerCache;
using ce::gdi::FontQuery;

namespace {

class FontCacheTest : public ::testing::Test {
 public:
  void SetUp() override {
    char name[] = "/tmp/ce_font_cache_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    // The cache file sits beside the watched folder, as it does in a device folder: writing it
    // must not change what it watches.
    file_ = dir_ + "/fonts.cache";
    fonts_ = dir_ + "/fonts";
    ASSERT_EQ(mkdir(fonts_.c_str(), 0755), 0);
    conf_ = fonts_ + "/fonts.conf";
    font_ = fonts_ + "/face.ttf";
    absent_ = fonts_ + "/user.conf";
    Write(conf_, "<fontconfig/>");
    Write(font_, "not really a font");
    const char* old = getenv("FONTCONFIG_FILE");
    hadFontconfigFile_ = old != nullptr;
    if (old) oldFontconfigFile_ = old;
  }
  void TearDown() override {
    if (hadFontconfigFile_)
      setenv("FONTCONFIG_FILE", oldFontconfigFile_.c_str(), 1);
    else
      unsetenv("FONTCONFIG_FILE");
    std::string command = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> Watched() const { return {conf_, fonts_, absent_, font_}; }

  static FontQuery Query(const char* family, int weight, bool italic) {
    FontQuery q;
    q.family = family;
    q.weight = weight;
    q.italic = italic;
    return q;
  }
  FontAnswer Found() const {
    FontAnswer a;
    a.found = true;
    a.path = font_;
    a.index = 2;
    a.boldFace = true;
    a.italicFace = false;
    a.familyUtf8 = "Tahoma";
    return a;
  }

  static void ExpectSame(const FontAnswer& a, const FontAnswer& b) {
    EXPECT_EQ(a.found, b.found);
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.index, b.index);
    EXPECT_EQ(a.boldFace, b.boldFace);
    EXPECT_EQ(a.italicFace, b.italicFace);
    EXPECT_EQ(a.familyUtf8, b.familyUtf8);
  }

  std::string dir_, file_, fonts_, conf_, font_, absent_;
  bool hadFontconfigFile_ = false;
  std::string oldFontconfigFile_;
};

// A change made between one process storing answers and the next one starting.
TEST_F(FontCacheTest, AnswersComeBackUntilWhatTheyDependOnChanges) {
  struct Case {
    const char* what;
    std::function<void(FontCacheTest&)> change;
    bool hit;
  } cases[] = {
      {"nothing changed", [](FontCacheTest&) {}, true},
      {"a configuration file grew", [](FontCacheTest& t) { Write(t.conf_, "<fontconfig><dir>/x</dir></fontconfig>"); },
       false},
      {"a configuration file was touched",
       [](FontCacheTest& t) {
         struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
         ASSERT_EQ(utimensat(AT_FDCWD, t.conf_.c_str(), times, 0), 0);
       },
       false},
      {"the font file went away", [](FontCacheTest& t) { ASSERT_EQ(unlink(t.font_.c_str()), 0); }, false},
      {"a user configuration appeared", [](FontCacheTest& t) { Write(t.absent_, "<fontconfig/>"); }, false},
      {"fontconfig is pointed at another file", [](FontCacheTest&) { setenv("FONTCONFIG_FILE", "/elsewhere", 1); },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unlink(file_.c_str());
    unsetenv("FONTCONFIG_FILE");
    Write(conf_, "<fontconfig/>");
    Write(font_, "not really a font");
    unlink(absent_.c_str());
    {
      FontAnswerCache writer(file_);
      FontAnswer none;
      EXPECT_FALSE(writer.Find(Query("Tahoma", 850, false), &none)) << "an empty cache answers nothing";
      ASSERT_TRUE(writer.Store(Query("Tahoma", 850, false), Found(), Watched()));
    }
    c.change(*this);
    FontAnswerCache reader(file_);
    FontAnswer got;
    EXPECT_EQ(reader.Find(Query("Tahoma", 850, false), &got), c.hit);
    if (c.hit) ExpectSame(got, Found());
  }
}

TEST_F(FontCacheTest, EachQueryKeepsItsOwnAnswerAndMissesAreKeptToo) {
  FontAnswer miss;  // fontconfig had nothing usable
  FontAnswer regular = Found();
  regular.boldFace = false;
  regular.index = 0;
  {
    FontAnswerCache writer(file_);
    ASSERT_TRUE(writer.Store(Query("Tahoma", 850, false), Found(), Watched()));
    ASSERT_TRUE(writer.Store(Query("Tahoma", 400, false), regular, Watched()));
    ASSERT_TRUE(writer.Store(Query("No Such Face", 400, true), miss, Watched()));
    // Storing a query again replaces its answer.
    ASSERT_TRUE(writer.Store(Query("Tahoma", 400, false), regular, Watched()));
  }
  struct {
    FontQuery query;
    bool hit;
    FontAnswer want;
  } cases[] = {
      {Query("Tahoma", 850, false), true, Found()},
      {Query("Tahoma", 400, false), true, regular},
      {Query("No Such Face", 400, true), true, miss},
      {Query("Tahoma", 700, false), false, {}},
      {Query("Tahoma", 850, true), false, {}},
      {Query("tahoma", 850, false), false, {}},  // the family exactly as asked
  };
  FontAnswerCache reader(file_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query.family + " " + std::to_string(c.query.weight) + (c.query.italic ? " italic" : ""));
    FontAnswer got;
    ASSERT_EQ(reader.Find(c.query, &got), c.hit);
    if (c.hit) ExpectSame(got, c.want);
  }
}

TEST_F(FontCacheTest, NamesAndPathsWithAnyBytesSurviveTheFile) {
  const std::string odd = fonts_ + "/tab\there%20new\nline 100%.ttf";
  Write(odd, "x");
  FontAnswer answer = Found();
  answer.path = odd;
  answer.familyUtf8 = "Fam\tily%";
  FontQuery query = Query("Fa\nce%", 400, false);
  {
    FontAnswerCache writer(file_);
    ASSERT_TRUE(writer.Store(query, answer, {conf_, odd}));
  }
  std::string text = Read(file_);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << text;  // header, env, two stamps, one answer
  FontAnswerCache reader(file_);
  FontAnswer got;
  ASSERT_TRUE(reader.Find(query, &got));
  ExpectSame(got, answer);
}

TEST_F(FontCacheTest, WhatCannotBeKeptIsNotWritten) {
  FontAnswer longPath = Found();
  longPath.path = "/" + std::string(600, 'p');
  FontAnswer foundWithoutFile = Found();
  foundWithoutFile.path.clear();
  struct {
    const char* what;
    std::string file;
    FontQuery query;
    FontAnswer answer;
    std::vector<std::string> watched;
  } cases[] = {
      {"no cache file", "", Query("Tahoma", 400, false), Found(), Watched()},
      {"nothing watched", file_, Query("Tahoma", 400, false), Found(), {}},
      {"a path no font instance holds", file_, Query("Tahoma", 400, false), longPath, Watched()},
      {"a found face without a file", file_, Query("Tahoma", 400, false), foundWithoutFile, Watched()},
      {"a weight out of range", file_, Query("Tahoma", 0, false), Found(), Watched()},
      {"a family too long", file_, Query(std::string(200, 'f').c_str(), 400, false), Found(), Watched()},
      {"a folder that does not exist", dir_ + "/no/such/fonts.cache", Query("Tahoma", 400, false), Found(), Watched()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FontAnswerCache cache(c.file);
    EXPECT_FALSE(cache.Store(c.query, c.answer, c.watched));
    struct stat st;
    EXPECT_NE(stat(file_.c_str(), &st), 0) << "no file was left behind";
  }
}

// The file is outside input: anything that is not exactly what Store writes is a miss, and the
// next Store replaces it with a good file.
TEST_F(FontCacheTest, DamagedFilesAreMissesAndAreReplaced) {
  const std::string env = "env\t" + FontAnswerCache::Environment() + "\n";
  auto stamp = [&](const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return "stamp\t" + std::to_string(static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec) +
           "\t" + std::to_string(static_cast<long long>(st.st_size)) + "\t" + path + "\n";
  };
  const std::string head = "ce-font-cache\t1\n" + env + stamp(conf_);
  const std::string good = "answer\t1\t850\t0\t0\t1\t0\tTahoma\tTahoma\t" + font_ + "\n";
  struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"another format", "ce-font-cache\t2\n" + env + stamp(conf_) + good},
      {"no environment line", "ce-font-cache\t1\n" + stamp(conf_) + good},
      {"another environment", "ce-font-cache\t1\nenv\tHOME=/nowhere;\n" + stamp(conf_) + good},
      {"no stamps", "ce-font-cache\t1\n" + env + good},
      {"the last line cut short", head + good.substr(0, good.size() - 1)},
      {"an unknown record", head + "colour\tblue\n" + good},
      {"a field too few", head + "answer\t1\t850\t0\t0\t1\t0\tTahoma\t" + font_ + "\n"},
      {"a weight that is no number", head + "answer\t1\tbold\t0\t0\t1\t0\tTahoma\tTahoma\t" + font_ + "\n"},
      {"a weight out of range", head + "answer\t1\t5000\t0\t0\t1\t0\tTahoma\tTahoma\t" + font_ + "\n"},
      {"a negative face index", head + "answer\t1\t850\t0\t-1\t1\t0\tTahoma\tTahoma\t" + font_ + "\n"},
      {"a flag that is not 0 or 1", head + "answer\t1\t850\t2\t0\t1\t0\tTahoma\tTahoma\t" + font_ + "\n"},
      {"found without a file", head + "answer\t1\t850\t0\t0\t1\t0\tTahoma\tTahoma\t\n"},
      {"a cut escape", head + "answer\t1\t850\t0\t0\t1\t0\tTahoma\tTahoma\t" + font_ + "%4\n"},
      {"an escaped NUL", head + "answer\t1\t850\t0\t0\t1\t0\tTah%00oma\tTahoma\t" + font_ + "\n"},
      {"a raw control byte", head + "answer\t1\t850\t0\t0\t1\t0\tTah\roma\tTahoma\t" + font_ + "\n"},
      {"a stamp that no longer holds", "ce-font-cache\t1\n" + env + "stamp\t1\t1\t" + conf_ + "\n" + good},
      {"a stamp without a path", head + "stamp\t1\t1\t\n" + good},
      {"an overlong file", head + std::string(70000, '#') + "\n" + good},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(file_, c.text);
    {
      FontAnswerCache cache(file_);
      FontAnswer got;
      EXPECT_FALSE(cache.Find(Query("Tahoma", 850, false), &got));
      ASSERT_TRUE(cache.Store(Query("Tahoma", 850, false), Found(), Watched()));
    }
    FontAnswerCache again(file_);
    FontAnswer got;
    ASSERT_TRUE(again.Find(Query("Tahoma", 850, false), &got));
    ExpectSame(got, Found());
  }
  // The well-made file those lines were cut from is a hit: the cases above fail for their fault.
  Write(file_, head + good);
  FontAnswerCache cache(file_);
  FontAnswer got;
  EXPECT_TRUE(cache.Find(Query("Tahoma", 850, false), &got));

  // A FIFO in the cache's place is no cache: it is not waited on (the start would hang), and a
  // store puts a file in its place.
  std::remove(file_.c_str());
  ASSERT_EQ(mkfifo(file_.c_str(), 0644), 0);
  FontAnswerCache fifo(file_);
  EXPECT_FALSE(fifo.Find(Query("Tahoma", 850, false), &got));
  EXPECT_TRUE(fifo.Store(Query("Tahoma", 850, false), Found(), Watched()));
  FontAnswerCache replaced(file_);
  EXPECT_TRUE(replaced.Find(Query("Tahoma", 850, false), &got));
}

TEST_F(FontCacheTest, EveryCutOfAGoodFileIsAMissOrTheStoredAnswer) {
  {
    FontAnswerCache writer(file_);
    ASSERT_TRUE(writer.Store(Query("Tahoma", 850, false), Found(), Watched()));
  }
  const std::string whole = Read(file_);
  int hits = 0;
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    Write(file_, whole.substr(0, cut));
    FontAnswerCache cache(file_);
    FontAnswer got;
    if (cache.Find(Query("Tahoma", 850, false), &got)) {
      ++hits;
      ExpectSame(got, Found());
    }
  }
  EXPECT_EQ(hits, 0) << "the answer is the last line, so every shorter file lacks it";
}

TEST(FontCacheFile, ComesFromTheEnvironment) {
  const char* oldCache = getenv("CE_FONT_CACHE");
  const char* oldDevice = getenv("CE_DEVICE");
  std::string savedCache = oldCache ? oldCache : "", savedDevice = oldDevice ? oldDevice : "";
  struct {
    const char* cache;   // nullptr: unset
    const char* device;  // nullptr: unset
    std::string want;
  } cases[] = {
      {"/tmp/x.cache", "/dev1", "/tmp/x.cache"}, {"", "/dev1", ""},  // set but empty: no cache
      {nullptr, "/dev1", "/dev1/fonts.cache"},   {nullptr, "", ""}, {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    if (c.cache)
      setenv("CE_FONT_CACHE", c.cache, 1);
    else
      unsetenv("CE_FONT_CACHE");
    if (c.device)
      setenv("CE_DEVICE", c.device, 1);
    else
      unsetenv("CE_DEVICE");
    EXPECT_EQ(ce::gdi::FontCacheFile(), c.want);
  }
  if (oldCache)
    setenv("CE_FONT_CACHE", savedCache.c_str(), 1);
  else
    unsetenv("CE_FONT_CACHE");
  if (oldDevice)
    setenv("CE_DEVICE", savedDevice.c_str(), 1);
  else
    unsetenv("CE_DEVICE");
}

}  // namespace
