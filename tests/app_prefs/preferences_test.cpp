// The preferences file: what each length and shape of file gives, and what the timer toggle
// writes. Each test runs on a fresh device folder of its own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/preferences.h"
#include "ce/ce.h"
#include "ce/device.h"
#include "ui/buttons.h"
#include "ui/run_state.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

const WCHAR kPath[] = u"\\Program Files\\Trapmarker\\Trapmarker.ini";

std::string Utf8(LPCWSTR text) { return ce::ToUtf8(text); }

class Preferences : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tm-prefs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    folder_ = root_ / "fs" / "Program Files" / "Trapmarker";
    fs::create_directories(folder_);
    setenv("CE_DEVICE", root_.c_str(), 1);
    ce::ResetDeviceForTests();
    buildButtonTable();
    orientation = 0;
    timerOption = 0;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  fs::path file() const { return folder_ / "Trapmarker.ini"; }
  void writeFile(const std::string& bytes) const {
    std::ofstream out(file(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string readFile() const {
    std::ifstream in(file(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The five custom places as "label" for active ones and "-" for blank ones, e.g. "Fuel|-|-|-|-".
  static std::string customPlaces() {
    std::string out;
    for (int place = 1; place <= 5; ++place) {
      const ButtonSlot* slot = slotAt(CustomPoiPage, place);
      if (place > 1) out += "|";
      if (slot->target == 0)
        out += Utf8(slot->label) == "Custom POI" ? "-" : "?" + Utf8(slot->label);
      else if (slot->target == TargetSave)
        out += Utf8(slot->label);
      else
        out += "target " + std::to_string(slot->target);
    }
    return out;
  }

  fs::path root_, folder_;
};

struct FileCase {
  const char* what;
  std::string bytes;
  int orientation, timer;
  int customPoiTarget;  // TypePage2 place 4
  const char* custom;   // customPlaces()
};

TEST_F(Preferences, EachLengthAndShapeOfFileGivesItsSettingsAndNames) {
  const std::string longName(70, 'N');
  const FileCase cases[] = {
      {"one byte", "3", 3, 0, 0, "-|-|-|-|-"},
      {"two bytes, digit 6 keeps its low bits", "6\r", 2, 0, 0, "-|-|-|-|-"},
      {"three bytes", "1\r\n", 1, 0, 0, "-|-|-|-|-"},
      {"four bytes turn the timer on", "0\r\n1"s, 0, 1, 0, "-|-|-|-|-"},
      {"five bytes, digit 4 and digit 2", "4\r\n2\r", 0, 0, 0, "-|-|-|-|-"},
      {"six bytes", "2\r\n1\r\n", 2, 1, 0, "-|-|-|-|-"},
      {"seven bytes without a name", "1\r\n0\r\nF", 1, 0, 7, "-|-|-|-|-"},
      {"names with CR LF", "1\r\n0\r\nFuel\r\nParking\r\n", 1, 0, 7, "Fuel|Parking|-|-|-"},
      {"names with LF only", "1\r\n0\r\nFuel\nParking\n", 1, 0, 7, "Fuel|Parking|-|-|-"},
      {"a sixth name is ignored", "0\r\n0\r\nA\r\nB\r\nC\r\nD\r\nE\r\nF\r\n", 0, 0, 7, "A|B|C|D|E"},
      {"an empty line takes a place", "0\r\n0\r\nFuel\r\n\r\nPark\r\n", 0, 0, 7, "Fuel||Park|-|-"},
      {"a tab ends the name", "0\r\n0\r\nFu\tel\r\nPark\r\n", 0, 0, 7, "Fu|Park|-|-|-"},
      {"a byte above 127 ends the name", "0\r\n0\r\nCaf\xe9 Bar\r\nPark\r\n", 0, 0, 7, "Caf|Park|-|-|-"},
      {"a control byte ends the name", "0\r\n0\r\nAb\0cd\r\n"s, 0, 0, 7, "Ab|-|-|-|-"},
      {"a last line without line feed is dropped", "0\r\n0\r\nFuel\r\nPark", 0, 0, 7, "Fuel|-|-|-|-"},
      {"no line feed after byte 6", "0\r\n1\r\nFuel Parking", 0, 1, 7, "-|-|-|-|-"},
      {"blanks and punctuation are kept", "0\r\n0\r\n Gas & Go!\r\n", 0, 0, 7, " Gas & Go!|-|-|-|-"},
      {"a long name is cut to 63 characters", "0\r\n0\r\n" + longName + "\r\nPark\r\n", 0, 0, 7, nullptr},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.what);
    buildButtonTable();
    orientation = 0;
    timerOption = 0;
    writeFile(c.bytes);
    ReadPreferences(kPath);
    EXPECT_EQ(orientation, c.orientation);
    EXPECT_EQ(timerOption, c.timer);
    EXPECT_EQ(Utf8(slotAt(PreferencesPage, TimerPlace)->label), c.timer ? "Turn timer off" : "Turn timer on");
    EXPECT_EQ(slotAt(TypePage2, CustomPoiPlace)->target, c.customPoiTarget);
    if (c.custom != nullptr) {
      EXPECT_EQ(customPlaces(), c.custom);
    }
  }
  // The long name case, checked apart: 63 characters, then the next line still counts.
  EXPECT_EQ(customPlaces(), std::string(63, 'N') + "|Park|-|-|-");
  EXPECT_EQ(Utf8(slotAt(CustomPoiPage, 1)->label).size(), 63u);
}

TEST_F(Preferences, NoFileKeepsTheDefaultsAndLeavesCustomPoiInert) {
  ReadPreferences(kPath);
  EXPECT_EQ(orientation, 0);
  EXPECT_EQ(timerOption, 0);
  EXPECT_EQ(slotAt(TypePage2, CustomPoiPlace)->target, 0);
  EXPECT_EQ(customPlaces(), "-|-|-|-|-");
  EXPECT_FALSE(fs::exists(file())) << "reading must not create the file";

  writeFile("");
  ReadPreferences(kPath);
  EXPECT_EQ(orientation, 0);
  EXPECT_EQ(slotAt(TypePage2, CustomPoiPlace)->target, 0);
}

TEST_F(Preferences, OnlyTheFirst255BytesAreRead) {
  // Four names fill the file up to byte 250; a fifth line ending at byte 256 has lost its line feed.
  std::string bytes = "0\r\n0\r\n";
  for (int i = 0; i < 4; ++i) bytes += std::string(59, char('a' + i)) + "\r\n";  // 6 + 4 * 61 = 250
  bytes += "Fifth\r\n";                                                          // 250..256
  ASSERT_EQ(bytes.size(), 257u);
  writeFile(bytes);
  ReadPreferences(kPath);
  EXPECT_EQ(customPlaces(), std::string(59, 'a') + "|" + std::string(59, 'b') + "|" + std::string(59, 'c') + "|" +
                                std::string(59, 'd') + "|-");
}

TEST_F(Preferences, StartUpChangesApplyOnTopOfTheBuiltTable) {
  // As the creation sequence does it: build, make "Rotate screen" inert, read the file.
  slotAt(PreferencesPage, RotateScreenPlace)->target = 0;
  writeFile("2\r\n1\r\nFuel\r\n");
  ReadPreferences(kPath);
  EXPECT_EQ(slotAt(PreferencesPage, RotateScreenPlace)->target, 0);
  EXPECT_EQ(Utf8(slotAt(PreferencesPage, TimerPlace)->label), "Turn timer off");
  EXPECT_EQ(slotAt(PreferencesPage, TimerPlace)->code, 97);
  EXPECT_EQ(slotAt(TypePage2, CustomPoiPlace)->target, CustomPoiPage);
  EXPECT_EQ(customPlaces(), "Fuel|-|-|-|-");
  // Custom codes stay in place order whatever the names.
  EXPECT_EQ(slotAt(CustomPoiPage, 1)->code, 100);
  EXPECT_EQ(slotAt(CustomPoiPage, 5)->code, 104);
  EXPECT_EQ(slotAt(CustomPoiPage, 6)->target, TypePage1);
}

TEST_F(Preferences, TogglingTwiceRewritesTheDigitsAndKeepsTheRestOfTheFile) {
  const std::string original = "1\r\n0\r\nFuel\r\nParking\r\nShops\r\n";
  writeFile(original);

  WritePreferences(kPath, 1, 1);
  std::string after = readFile();
  EXPECT_EQ(after.substr(0, 4), "1\r\n1");
  EXPECT_EQ(after.substr(4), original.substr(4));

  WritePreferences(kPath, 1, 0);
  EXPECT_EQ(readFile(), original);

  ReadPreferences(kPath);
  EXPECT_EQ(orientation, 1);
  EXPECT_EQ(timerOption, 0);
  EXPECT_EQ(customPlaces(), "Fuel|Parking|Shops|-|-");
}

TEST_F(Preferences, WritingCreatesAMissingFileWithTheFourBytesOnly) {
  WritePreferences(kPath, 3, 1);
  EXPECT_EQ(readFile(), "3\r\n1"s);
  ReadPreferences(kPath);
  EXPECT_EQ(orientation, 3);
  EXPECT_EQ(timerOption, 1);
  EXPECT_EQ(slotAt(TypePage2, CustomPoiPlace)->target, 0);
}

TEST_F(Preferences, AFileThatCannotBeWrittenIsLeftAloneSilently) {
  // The path names a folder: it cannot be opened as a file.
  fs::create_directories(file());
  WritePreferences(kPath, 2, 1);
  EXPECT_TRUE(fs::is_directory(file()));
  EXPECT_TRUE(fs::is_empty(file()));

  // The program's folder does not exist: nothing is created on the way.
  WritePreferences(u"\\Program Files\\Gone\\Trapmarker.ini", 2, 1);
  EXPECT_FALSE(fs::exists(root_ / "fs" / "Program Files" / "Gone"));

  // Reading either of them keeps the defaults.
  orientation = 0;
  timerOption = 0;
  ReadPreferences(u"\\Program Files\\Gone\\Trapmarker.ini");
  ReadPreferences(kPath);
  EXPECT_EQ(orientation, 0);
  EXPECT_EQ(timerOption, 0);
}

}  // namespace
