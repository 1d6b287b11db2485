// Shared-folder discovery on Pocket PC and Smartphone devices, and the channel's file object.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ce/device.h"
#include "ce/kernel.h"
#include "sdk/transport/sdk_file.h"
#include "sdk/transport/shared_folder.h"
#include "tests/transport/test_device.h"

namespace {

std::string SharedFolder() {
  WCHAR folder[kSdkPathSize];
  for (WCHAR& c : folder) c = u'#';
  FindSharedFolder(folder, kSdkPathSize);
  return ce::ToUtf8(folder);
}

std::string Resolve(const char* name, int location, bool forWriting) {
  WCHAR path[kSdkPathSize];
  for (WCHAR& c : path) c = u'#';
  if (!SdkFile::ResolvePath(name, location, forWriting, path, kSdkPathSize)) return "<failed>";
  return ce::ToUtf8(path);
}

TEST(SharedFolder, PlatformTypeTextDecidesSmartphone) {
  struct Case {
    const char* platform;
    bool smartphone;
  } cases[] = {
      {"PocketPC", false},   {"SmartPhone", true},       {"Smartphone", true}, {"smartphone", false},
      {"SMARTPHONE", false}, {"MySmartPhone2003", true}, {"", false},
  };
  for (const Case& c : cases) {
    TestDevice device(c.platform);
    EXPECT_EQ(IsSmartphone(), c.smartphone) << "platform '" << c.platform << "'";
  }
}

TEST(SharedFolder, FoundByDeviceKindAndFolders) {
  struct Case {
    const char* what;
    const char* platform;
    std::vector<std::string> folders;  // made under fs/ first
    std::vector<std::string> files;
    const char* shared;
  } cases[] = {
      {"pocket pc without any folder", "PocketPC", {}, {}, "\\TomTom\\"},
      {"pocket pc ignores card folders", "PocketPC", {"Storage Card/TomTom"}, {}, "\\TomTom\\"},
      {"smartphone card", "SmartPhone", {"Storage Card/TomTom"}, {}, "\\Storage Card\\TomTom\\"},
      {"smartphone top folder wins", "SmartPhone", {"TomTom", "Storage Card/TomTom"}, {}, "\\TomTom\\"},
      {"smartphone without any", "Smartphone", {"Storage Card/Maps"}, {}, "\\TomTom\\"},
      {"dot folder skipped", "SmartPhone", {".card/TomTom", "zcard/TomTom"}, {}, "\\zcard\\TomTom\\"},
      {"first in listing wins", "SmartPhone", {"Card2/TomTom", "card1/TomTom"}, {}, "\\card1\\TomTom\\"},
      {"top-level TomTom file is no folder", "SmartPhone", {"Card/TomTom"}, {"TomTom"}, "\\Card\\TomTom\\"},
      {"top-level file skipped", "SmartPhone", {"b/TomTom"}, {"a"}, "\\b\\TomTom\\"},
      {"card TomTom must be a folder", "SmartPhone", {"a", "b/TomTom"}, {"a/TomTom"}, "\\b\\TomTom\\"},
  };
  for (const Case& c : cases) {
    TestDevice device(c.platform);
    for (const std::string& folder : c.folders) TestDevice::MakeFolder(device.Host(folder));
    for (const std::string& file : c.files) TestDevice::WriteFile(device.Host(file), "x");
    EXPECT_EQ(SharedFolder(), c.shared) << c.what;
  }
}

TEST(SharedFolder, NothingIsCreatedAndASmallBufferGetsNothing) {
  TestDevice device("SmartPhone");
  EXPECT_EQ(SharedFolder(), "\\TomTom\\");
  EXPECT_TRUE(TestDevice::List(device.Host("")).empty()) << "discovery created something";

  WCHAR small[4] = {u'#', u'#', u'#', u'#'};
  FindSharedFolder(small, 4);
  EXPECT_EQ(small[0], 0) << "a cut folder name would name another folder";

  WCHAR base[kSdkPathSize];
  GetSdkBaseFolder(base, kSdkPathSize);
  EXPECT_EQ(ce::ToUtf8(base), "\\");
}

TEST(SdkFile, FirstChannelFileCreatesTheSharedAndCallsFolders) {
  TestDevice device("PocketPC");
  ASSERT_FALSE(TestDevice::Exists(device.Host("TomTom")));
  SdkFile file;
  ASSERT_EQ(file.OpenForWriting("first.message", kSdkCallsFolder, false), 0);
  EXPECT_EQ(file.Write("abc", 4), 0);
  file.Close();
  std::string bytes;
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("first.message"), &bytes));
  EXPECT_EQ(bytes, std::string("abc\0", 4));
}

TEST(SdkFile, ResolvesEachLocation) {
  TestDevice device("PocketPC");
  TestDevice::MakeFolder(device.Host("Windows"));
  TestDevice::WriteFile(device.Host("Windows/found.script"), "");
  TestDevice::MakeFolder(device.Host("Scripts"));
  TestDevice::WriteFile(device.Host("Scripts/master.script"), "");
  TestDevice::WriteFile(device.Host("Scripts/deep.script"), "");
  TestDevice::MakeFolder(device.Host(".hidden"));
  TestDevice::WriteFile(device.Host(".hidden/secret.script"), "");
  TestDevice::WriteFile(device.Host("rooted.script"), "");

  struct Case {
    const char* name;
    int location;
    bool forWriting;
    const char* path;
  } cases[] = {
      {"a.message", kSdkCallsFolder, false, "\\TomTom\\SdkFileCalls\\a.message"},
      {"reg.dat", kSdkRegistryFolder, true, "\\TomTom\\SdkRegistry\\reg.dat"},
      {"s.txt", kSdkSharedFolder, false, "\\TomTom\\s.txt"},
      {"d.txt", kSdkDocuments, true, "\\My Documents\\TomTom\\d.txt"},
      {"found.script", kSdkScriptFolder, false, "\\Windows\\found.script"},
      {"rooted.script", kSdkScriptFolder, false, "\\rooted.script"},
      {"deep.script", kSdkScriptFolder, false, "\\Scripts\\deep.script"},
      {"secret.script", kSdkScriptFolder, false, "secret.script"},
      {"new.script", kSdkScriptFolder, true, "\\Scripts\\new.script"},
      {"\\Full\\path.txt", kSdkCallsFolder, false, "\\Full\\path.txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Resolve(c.name, c.location, c.forWriting), c.path) << "name " << c.name;
  }
  // The test program lies outside the device: its folder is the root.
  EXPECT_EQ(Resolve("p.ini", kSdkProgramFolder, false), "\\p.ini");
  EXPECT_EQ(Resolve(std::string(300, 'n').c_str(), kSdkCallsFolder, false), "<failed>");
  EXPECT_EQ(Resolve(nullptr, kSdkCallsFolder, false), "<failed>");
  EXPECT_TRUE(TestDevice::List(device.Host("TomTom")).empty()) << "resolving created a folder";
}

TEST(SdkFile, ReadsLineByLineWithinTheBuffer) {
  TestDevice device;
  TestDevice::MakeFolder(device.Calls());
  TestDevice::WriteFile(device.Calls("lines"), "ab\ncd\n\nrest-of-it");

  SdkFile file;
  ASSERT_EQ(file.OpenForReading("lines", kSdkCallsFolder), 0);
  EXPECT_EQ(file.Size(), 17u);
  struct Step {
    int32_t capacity;
    int result;
    const char* text;
  } steps[] = {
      {100, 3, "ab\n"},   {100, 3, "cd\n"},
      {100, 1, "\n"},     {5, 4, "rest"},  // at most capacity - 1 bytes, NUL after them
      {100, 6, "-of-it"}, {100, SdkFile::kEndOfFile, ""},
  };
  for (const Step& step : steps) {
    char buffer[100];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(file.ReadLine(buffer, step.capacity), step.result) << "expected '" << step.text << "'";
    EXPECT_STREQ(buffer, step.text);
    if (step.capacity < 100) {
      EXPECT_EQ(buffer[step.capacity], '#') << "wrote past the capacity";
    }
  }
  file.Close();
  char buffer[4] = "##";
  EXPECT_EQ(file.ReadLine(buffer, 4), SdkFile::kReadFailed) << "reading a closed file";
  EXPECT_EQ(file.OpenForReading("missing", kSdkCallsFolder), SdkFile::kOpenFailed);
}

TEST(SdkFile, WritesTruncatingOrAppending) {
  TestDevice device;
  SdkFile file;
  ASSERT_EQ(file.OpenForWriting("w", kSdkCallsFolder, false), 0);
  EXPECT_EQ(file.Write("first", 5), 0);
  file.Close();
  ASSERT_EQ(file.OpenForWriting("w", kSdkCallsFolder, true), 0);
  EXPECT_EQ(file.Write("+more", 5), 0);
  file.Close();
  std::string bytes;
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("w"), &bytes));
  EXPECT_EQ(bytes, "first+more");
  ASSERT_EQ(file.OpenForWriting("w", kSdkCallsFolder, false), 0);
  file.Close();
  ASSERT_TRUE(TestDevice::ReadFile(device.Calls("w"), &bytes));
  EXPECT_EQ(bytes, "") << "opening without append truncates";
  EXPECT_EQ(file.Write("x", 1), SdkFile::kWriteFailed) << "writing a closed file";
}

TEST(SdkFile, DeletesReadOnlyFilesAndCreatesNothing) {
  TestDevice device;
  TestDevice::MakeFolder(device.Calls());
  TestDevice::WriteFile(device.Calls("ro"), "x");
  ASSERT_EQ(chmod(device.Calls("ro").c_str(), 0444), 0);
  SdkFile::Delete("ro", kSdkCallsFolder);
  EXPECT_FALSE(TestDevice::Exists(device.Calls("ro")));

  SdkFile::Delete("x", kSdkRegistryFolder);
  EXPECT_FALSE(TestDevice::Exists(device.Host("TomTom/SdkRegistry")));
}

// Folders are made when an open finds them missing, whichever part is missing, and for reading
// as for writing; a file the open does not find is not made.
TEST(SdkFile, OpensMakeWhateverFolderIsMissing) {
  TestDevice device("PocketPC");
  struct Row {
    const char* present;  // made before the open, below the device's fs/ (nullptr: nothing)
    bool forWriting;
    bool opens;
  };
  const Row rows[] = {
      {nullptr, false, false},
      {nullptr, true, true},
      {"TomTom", false, false},
      {"TomTom", true, true},
      {"TomTom/SdkFileCalls", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.present ? row.present : "nothing") + (row.forWriting ? ", writing" : ", reading"));
    std::string removeTree = "rm -rf '" + device.Host("TomTom") + "'";
    ASSERT_EQ(std::system(removeTree.c_str()), 0);
    if (row.present) {
      TestDevice::MakeFolder(device.Host("TomTom"));
      if (std::string(row.present) != "TomTom") TestDevice::MakeFolder(device.Calls());
    }
    SdkFile file;
    const int opened = row.forWriting ? file.OpenForWriting("f.message", kSdkCallsFolder, false)
                                      : file.OpenForReading("f.message", kSdkCallsFolder);
    EXPECT_EQ(opened == 0, row.opens);
    file.Close();
    EXPECT_TRUE(TestDevice::Exists(device.Calls())) << "the calls folder exists after every open";
    EXPECT_EQ(TestDevice::Exists(device.Calls("f.message")), row.forWriting);
  }
}

// A file held open is refused, and a refusal for that reason changes nothing about the file.
TEST(SdkFile, DeleteOfAFileHeldOpenLeavesItAsItWas) {
  TestDevice device;
  TestDevice::MakeFolder(device.Calls());
  TestDevice::WriteFile(device.Calls("held"), "x");
  TestDevice::WriteFile(device.Calls("held-ro"), "x");
  ASSERT_EQ(chmod(device.Calls("held-ro").c_str(), 0444), 0);
  for (const char* name : {"held", "held-ro"}) {
    SCOPED_TRACE(name);
    SdkFile holder;
    ASSERT_EQ(holder.OpenForReading(name, kSdkCallsFolder), 0);
    EXPECT_FALSE(SdkFile::Delete(name, kSdkCallsFolder));
    EXPECT_TRUE(TestDevice::Exists(device.Calls(name)));
    holder.Close();
  }
  struct stat st;
  ASSERT_EQ(stat(device.Calls("held-ro").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u) << "read-only kept while the delete was refused";
  EXPECT_TRUE(SdkFile::Delete("held-ro", kSdkCallsFolder)) << "deleted once let go";
  EXPECT_FALSE(SdkFile::Delete("held-ro", kSdkCallsFolder)) << "a missing file";
}

}  // namespace
