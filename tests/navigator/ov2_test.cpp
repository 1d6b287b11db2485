#include "navigator/ov2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/navigator/test_util.h"

namespace {

using nav::CategoryStore;
using nav::EncodeOv2Point;
using nav::MapPoint;
using nav::Ov2Contents;
using nav::ParseOv2;
using nav::StoreResult;
using navtest::ReadFile;
using navtest::TempDir;
using navtest::WriteFile;

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; i++) s[i] = static_cast<char>((v >> (8 * i)) & 0xff);
  return s;
}

std::string Record(uint8_t type, const std::string& body) {
  return std::string(1, static_cast<char>(type)) + Le32(static_cast<uint32_t>(body.size() + 5)) + body;
}

TEST(Ov2Format, PointRecordHasTheDocumentedBytes) {
  std::string r = EncodeOv2Point({-150000, 5212000}, "Ab");
  std::string expected =
      std::string("\x02", 1) + Le32(16) + Le32(static_cast<uint32_t>(-150000)) + Le32(5212000) + std::string("Ab\0", 3);
  EXPECT_EQ(r, expected);
}

TEST(Ov2Format, ParsesWholeTornAndMalformedFiles) {
  const std::string a = EncodeOv2Point({100, 200}, "first");
  const std::string b = EncodeOv2Point({-300, 400}, "second");
  const std::string skipper = std::string("\x01", 1) + Le32(999) + std::string(16, '\x07');
  const std::string extended =
      std::string("\x03", 1) + Le32(13 + 8) + Le32(7) + Le32(8) + std::string("ext\0id\0\0", 8);
  const std::string unknown = Record(9, "xyz");
  const std::string deleted = Record(0, std::string(6, 'd'));
  struct Case {
    const char* name;
    std::string bytes;
    size_t points;
    size_t records;
    uint64_t whole;
    bool torn;
    bool error;
  } cases[] = {
      {"empty", "", 0, 0, 0, false, false},
      {"two points", a + b, 2, 2, a.size() + b.size(), false, false},
      {"second record cut", a + b.substr(0, 9), 1, 1, a.size(), true, false},
      {"header cut", a + b.substr(0, 3), 1, 1, a.size(), true, false},
      {"zero tail", a + std::string(10, '\0'), 1, 1, a.size(), true, false},
      {"other types skipped", skipper + extended + unknown + deleted + a, 2, 5,
       skipper.size() + extended.size() + unknown.size() + deleted.size() + a.size(), false, false},
      {"bad length in the middle", a + std::string("\x02", 1) + Le32(3) + b, 1, 1, a.size(), false, true},
      {"garbage claiming too much", a + std::string("\xEE", 1) + Le32(0x7fffffff) + "zz", 1, 1, a.size(), false, true},
      // A damaged length that claims more than is left is no cut append: whole records follow it.
      {"length too big in the middle",
       a + std::string("\x02", 1) + Le32(200) + Le32(1) + Le32(2) + "x" + std::string(1, '\0') + b, 1, 1, a.size(),
       false, true},
      {"cut record of another type", a + Record(3, std::string(20, 'e')).substr(0, 15), 1, 1, a.size(), false, true},
      {"cut header of another type", a + std::string("\x03\x10", 2), 1, 1, a.size(), false, true},
      {"cut point longer than any append", a + std::string("\x02", 1) + Le32(1u << 20) + Le32(1) + Le32(2) + "t", 1, 1,
       a.size(), false, true},
  };
  for (const Case& c : cases) {
    Ov2Contents got = ParseOv2(c.bytes);
    EXPECT_EQ(got.PointCount(), c.points) << c.name;
    EXPECT_EQ(got.records.size(), c.records) << c.name;
    EXPECT_EQ(got.wholeBytes, c.whole) << c.name;
    EXPECT_EQ(got.tornTail, c.torn) << c.name;
    EXPECT_EQ(!got.error.empty(), c.error) << c.name << ": " << got.error;
  }
  Ov2Contents mixed = ParseOv2(skipper + extended + a);
  ASSERT_EQ(mixed.records.size(), 3u);
  EXPECT_EQ(mixed.records[1].text, "ext");
  EXPECT_EQ(mixed.records[1].pos, (MapPoint{7, 8}));
  EXPECT_EQ(mixed.records[2].text, "first");
}

TEST(Ov2Format, CategoryNames) {
  for (const char* good : {"Roadwatchcameras", "Fuel", "Café 24", "a.b"})
    EXPECT_TRUE(nav::IsValidCategoryName(good)) << good;
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "x:y", "what?", "pipe|name", "trailing.", " lead"})
    EXPECT_FALSE(nav::IsValidCategoryName(bad)) << bad;
}

class CategoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = device.Host("Points/");
    navtest::MakeDirs(folder);
    Open();
  }
  void Open() {
    std::vector<std::string> warnings;
    store.Open("\\Points\\", warnings);
  }
  Ov2Contents FileContents(const std::string& name) { return ParseOv2(ReadFile(folder + name)); }
  navtest::DemoDevice device;
  std::string folder;  // the host folder behind the device folder "Points"
  CategoryStore store;
  std::string error;
};

TEST_F(CategoryStoreTest, AddCreatesTheFileAndAppendsWholeRecords) {
  ASSERT_EQ(store.Add("Fuel", {-150000, 5212000}, "one", error), StoreResult::kOk) << error;
  ASSERT_EQ(store.Add("Fuel", {-150001, 5212001}, "two", error), StoreResult::kOk) << error;
  Ov2Contents c = FileContents("Fuel.ov2");
  ASSERT_EQ(c.PointCount(), 2u);
  EXPECT_EQ(c.records[1].pos, (MapPoint{-150001, 5212001}));
  EXPECT_EQ(c.records[1].text, "two");
  EXPECT_FALSE(c.tornTail);
  EXPECT_EQ(store.Find("fuel")->contents.PointCount(), 2u);
}

TEST_F(CategoryStoreTest, NextAddCutsATornTailAndKeepsEveryWholeRecord) {
  std::string whole = EncodeOv2Point({1, 2}, "kept");
  WriteFile(folder + "Cams.ov2", whole + EncodeOv2Point({3, 4}, "torn").substr(0, 11));
  Open();
  EXPECT_TRUE(store.Find("Cams")->contents.tornTail);
  ASSERT_EQ(store.Add("Cams", {5, 6}, "new", error), StoreResult::kOk) << error;
  std::string bytes = ReadFile(folder + "Cams.ov2");
  EXPECT_EQ(bytes, whole + EncodeOv2Point({5, 6}, "new"));
}

TEST_F(CategoryStoreTest, MalformedFileIsNeverWrittenTo) {
  std::string bytes = EncodeOv2Point({1, 2}, "a") + std::string("\x02", 1) + Le32(2) + EncodeOv2Point({3, 4}, "b");
  WriteFile(folder + "Bad.ov2", bytes);
  Open();
  EXPECT_EQ(store.Add("Bad", {5, 6}, "c", error), StoreResult::kMalformed);
  EXPECT_EQ(store.DeleteClosest("Bad", {1, 2}, error), StoreResult::kMalformed);
  EXPECT_EQ(store.MoveClosest("Bad", {1, 2}, {9, 9}, error), StoreResult::kMalformed);
  EXPECT_EQ(ReadFile(folder + "Bad.ov2"), bytes);
}

TEST_F(CategoryStoreTest, DamagedLengthInTheMiddleIsRefusedAndTheFileKeptByteForByte) {
  std::string bytes;
  for (int i = 0; i < 52; i++) bytes += EncodeOv2Point({i, i}, "point " + std::to_string(i));
  const size_t third = 2 * EncodeOv2Point({0, 0}, "point 0").size();
  bytes[third + 2] = '\x07';  // the third record's length now runs past the end of the file
  WriteFile(folder + "Cams.ov2", bytes);
  Open();
  EXPECT_FALSE(store.Find("Cams")->contents.tornTail);
  EXPECT_EQ(store.Add("Cams", {5, 6}, "new", error), StoreResult::kMalformed);
  EXPECT_NE(error.find("Cams.ov2"), std::string::npos) << error;
  EXPECT_NE(error.find("offset " + std::to_string(third)), std::string::npos) << error;
  EXPECT_EQ(ReadFile(folder + "Cams.ov2"), bytes);
}

TEST_F(CategoryStoreTest, DeleteAndMoveTouchOnlyTheClosestPoint) {
  for (int i = 0; i < 4; i++)
    ASSERT_EQ(store.Add("P", {i * 1000, 5200000}, "p" + std::to_string(i), error), StoreResult::kOk);
  ASSERT_EQ(store.DeleteClosest("P", {2100, 5200000}, error), StoreResult::kOk) << error;
  ASSERT_EQ(store.MoveClosest("P", {2900, 5200050}, {7000, 7000}, error), StoreResult::kOk) << error;
  Ov2Contents c = FileContents("P.ov2");
  ASSERT_EQ(c.PointCount(), 3u);
  EXPECT_EQ(c.records[0].text, "p0");
  EXPECT_EQ(c.records[1].text, "p1");
  EXPECT_EQ(c.records[2].text, "p3");
  EXPECT_EQ(c.records[2].pos, (MapPoint{7000, 7000}));
  EXPECT_EQ(c.records[1].pos, (MapPoint{1000, 5200000}));
  EXPECT_FALSE(std::filesystem::exists(folder + "P.ov2.tmp"));
}

TEST_F(CategoryStoreTest, DeleteAllKeepsRecordsThatAreNotPoints) {
  std::string unknown = Record(9, "keep");
  std::string skipper = std::string("\x01", 1) + Le32(60) + std::string(16, '\0');
  WriteFile(folder + "Mixed.ov2", skipper + EncodeOv2Point({1, 1}, "a") + unknown + EncodeOv2Point({2, 2}, "b"));
  Open();
  ASSERT_EQ(store.DeleteAll("MIXED", error), StoreResult::kOk) << error;
  EXPECT_EQ(ReadFile(folder + "Mixed.ov2"), unknown);
  EXPECT_EQ(store.DeleteClosest("Mixed", {1, 1}, error), StoreResult::kNotFound);
  EXPECT_EQ(store.DeleteAll("Nothing", error), StoreResult::kNotFound);
}

TEST_F(CategoryStoreTest, NamesMatchExistingFilesIgnoringCase) {
  WriteFile(folder + "Roadwatchcameras.ov2", "");
  Open();
  ASSERT_EQ(store.Add("roadwatchcameras", {1, 2}, "x", error), StoreResult::kOk);
  EXPECT_EQ(FileContents("Roadwatchcameras.ov2").PointCount(), 1u);
  EXPECT_FALSE(std::filesystem::exists(folder + "roadwatchcameras.ov2"));
  EXPECT_EQ(store.Add("../escape", {1, 2}, "x", error), StoreResult::kBadName);
}

TEST_F(CategoryStoreTest, FilesChangedByOthersAreReadAgain) {
  ASSERT_EQ(store.Add("Cams", {1, 1}, "old", error), StoreResult::kOk);
  std::filesystem::remove(folder + "Cams.ov2");
  ASSERT_EQ(store.Add("Cams", {2, 2}, "new", error), StoreResult::kOk) << error;
  Ov2Contents c = FileContents("Cams.ov2");
  ASSERT_EQ(c.PointCount(), 1u);
  EXPECT_EQ(c.records[0].text, "new");
  // Another program appends a record: the next delete sees it.
  WriteFile(folder + "Cams.ov2", ReadFile(folder + "Cams.ov2") + EncodeOv2Point({900, 900}, "theirs"));
  ASSERT_EQ(store.DeleteClosest("Cams", {2, 2}, error), StoreResult::kOk);
  c = FileContents("Cams.ov2");
  ASSERT_EQ(c.PointCount(), 1u);
  EXPECT_EQ(c.records[0].text, "theirs");
}

TEST_F(CategoryStoreTest, GpsBabelReadsWhatWeWrite) {
  ASSERT_EQ(store.Add("Cams", {-150123, 5212345}, "High Street, Demotown !01MTI7!", error), StoreResult::kOk);
  ASSERT_EQ(store.Add("Cams", {1234567, -3345678}, "south east", error), StoreResult::kOk);
  int status = -1;
  std::string csv = navtest::RunCommand("gpsbabel -i tomtom -f '" + folder + "Cams.ov2' -o unicsv -F - 2>&1", &status);
  ASSERT_EQ(status, 0) << csv;
  EXPECT_NE(csv.find("52.123450,-1.501230,\"High Street, Demotown !01MTI7!\""), std::string::npos) << csv;
  EXPECT_NE(csv.find("-33.456780,12.345670,\"south east\""), std::string::npos) << csv;
}

}  // namespace
