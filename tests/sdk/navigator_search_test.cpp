// Finding the navigator on a device folder, and the pre-call step when the navigator is running
// or cannot be started (headless backend: no process ever comes up here).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ce/ce.h"
#include "ce/device.h"
#include "ce/user/backend.h"
#include "sdk/navigator_launch.h"
#include "sdk/navigator_link.h"
#include "sdk/sdk_calls.h"
#include "tests/scripted_peer/in_process_peer.h"
#include "tests/sdk/device_folder.h"

namespace {

std::string Narrow(const std::u16string& wide) { return ce::ToUtf8(wide); }

const char16_t kSentinel[] = u"\\earlier\\TomTom Navigator.exe";

void SetSentinel() { std::memcpy(navigatorPath, kSentinel, sizeof kSentinel); }

TEST(JoinPath, AddsOneBackslashAndNeverOverruns) {
  struct Case {
    const char16_t* folder;
    const char16_t* name;
    const char16_t* joined;
  } cases[] = {
      {u"\\", u"a.exe", u"\\a.exe"},       {u"\\A", u"b", u"\\A\\b"}, {u"\\A\\", u"b", u"\\A\\b"},
      {u"\\A\\B", u"*.*", u"\\A\\B\\*.*"}, {u"", u"x", u"\\x"},
  };
  for (const Case& c : cases) {
    WCHAR dest[MAX_PATH];
    ASSERT_TRUE(JoinPath(dest, MAX_PATH, c.folder, c.name)) << Narrow(c.joined);
    EXPECT_EQ(std::u16string(dest), c.joined);
  }

  // 259 characters and the terminator fit exactly; one more does not, and nothing is written.
  std::u16string folder = u"\\" + std::u16string(200, u'f');
  std::u16string name(MAX_PATH - 1 - folder.size() - 1, u'n');
  WCHAR dest[MAX_PATH + 8];
  for (WCHAR& c : dest) c = u'#';
  ASSERT_TRUE(JoinPath(dest, MAX_PATH, folder.c_str(), name.c_str()));
  EXPECT_EQ(std::u16string(dest).size(), static_cast<size_t>(MAX_PATH - 1));
  name += u'n';
  for (WCHAR& c : dest) c = u'#';
  EXPECT_FALSE(JoinPath(dest, MAX_PATH, folder.c_str(), name.c_str()));
  EXPECT_EQ(dest[0], 0);
  EXPECT_EQ(dest[1], u'#');
  EXPECT_EQ(dest[MAX_PATH], u'#');
}

struct Visit {
  std::vector<std::string> seen;  // "folder:name"
  size_t stopAfter = 0;           // 0: never stop
};

int RecordVisit(LPCWSTR folder, LPCWSTR name, void* argument) {
  Visit* visit = static_cast<Visit*>(argument);
  visit->seen.push_back(Narrow(folder) + ":" + Narrow(name));
  return visit->stopAfter == 0 || visit->seen.size() < visit->stopAfter ? 1 : 0;
}

class SearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ce::user::UseBackend(ce::user::BackendKind::Null); }
  DeviceFolder device;
};

TEST_F(SearchTest, FolderFilesFirstThenEachSubfolderWhole) {
  for (const char* path : {"b.exe", "a.exe", "readme.txt", "C/e.exe", "A/B/d.exe", "A/c.EXE", "A/B/notes.txt"}) {
    device.Put(path);
  }
  device.Put("Empty/.keep");

  Visit all;
  EXPECT_EQ(SearchFiles(u"\\", u"*.exe", true, RecordVisit, &all, nullptr), 5);
  EXPECT_EQ(all.seen, (std::vector<std::string>{"\\:a.exe", "\\:b.exe", "\\A:c.EXE", "\\A\\B:d.exe", "\\C:e.exe"}));

  Visit flat;
  EXPECT_EQ(SearchFiles(u"\\", u"*.exe", false, RecordVisit, &flat, nullptr), 2);
  EXPECT_EQ(flat.seen, (std::vector<std::string>{"\\:a.exe", "\\:b.exe"}));

  // A visitor's 0 ends the whole search, in whichever folder it is.
  Visit stopped;
  stopped.stopAfter = 3;
  EXPECT_EQ(SearchFiles(u"\\", u"*.exe", true, RecordVisit, &stopped, nullptr), 3);
  EXPECT_EQ(stopped.seen.back(), "\\A:c.EXE");

  bool stop = false;
  Visit withFlag;
  withFlag.stopAfter = 4;
  EXPECT_EQ(SearchFiles(u"\\A", u"*.exe", true, RecordVisit, &withFlag, &stop), 2);
  EXPECT_FALSE(stop);
}

TEST_F(SearchTest, PathsTooLongForTheBufferAreSkipped) {
  // "\" + 200 + "\" + 50 = 252 characters of folder.
  std::string deep = std::string(200, 'd') + "/" + std::string(50, 'e');
  device.Put(deep + "/ok.exe");                              // 259 characters: visited
  device.Put(deep + "/toolong.exe");                         // 264: skipped
  device.Put(deep + "/" + std::string(10, 'f') + "/x.exe");  // its folder is already too long
  device.Put("short.exe");

  Visit visit;
  EXPECT_EQ(SearchFiles(u"\\", u"*.exe", true, RecordVisit, &visit, nullptr), 2);
  ASSERT_EQ(visit.seen.size(), 2u);
  EXPECT_EQ(visit.seen[0], "\\:short.exe");
  EXPECT_EQ(visit.seen[1].substr(visit.seen[1].size() - 7), ":ok.exe");
}

// A listing that starts every folder listing with "." and "..", as desktop Windows does.
struct DotListing {
  struct Open {
    HANDLE handle;
    int served;  // 0: nothing yet, 1: ".", 2: "..", 3: the first real entry
    WIN32_FIND_DATAW first;
  };
  static std::vector<Open> open;
  static int listings;  // a search that walks into the dots ends here instead of never

  static void Dot(LPWIN32_FIND_DATAW entry, const char16_t* name) {
    std::memset(entry, 0, sizeof *entry);
    entry->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    std::memcpy(entry->cFileName, name, (std::char_traits<char16_t>::length(name) + 1) * sizeof(char16_t));
  }
  static HANDLE First(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
    return Start(pattern, entry, FindExSearchNameMatch);
  }
  static HANDLE FirstFolder(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
    return Start(pattern, entry, FindExSearchLimitToDirectories);
  }
  static HANDLE Start(LPCWSTR pattern, LPWIN32_FIND_DATAW entry, FINDEX_SEARCH_OPS op) {
    if (++listings > 100) return INVALID_HANDLE_VALUE;
    HANDLE handle = FindFirstFileExW(pattern, FindExInfoStandard, entry, op, nullptr, 0);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    open.push_back({handle, 1, *entry});
    Dot(entry, u".");
    return handle;
  }
  static BOOL Next(HANDLE handle, LPWIN32_FIND_DATAW entry) {
    for (Open& o : open) {
      if (o.handle != handle) continue;
      if (o.served == 1) {
        o.served = 2;
        Dot(entry, u"..");
        return TRUE;
      }
      if (o.served == 2) {
        o.served = 3;
        *entry = o.first;
        return TRUE;
      }
    }
    return FindNextFileW(handle, entry);
  }
  static BOOL Close(HANDLE handle) {
    for (size_t i = 0; i < open.size(); ++i) {
      if (open[i].handle == handle) open.erase(open.begin() + static_cast<long>(i));
    }
    return FindClose(handle);
  }
};
std::vector<DotListing::Open> DotListing::open;
int DotListing::listings = 0;

TEST_F(SearchTest, DotEntriesAreNeverDescendedInto) {
  for (const char* path : {"a.exe", "A/b.exe", "A/B/c.exe"}) device.Put(path);
  Visit plain;
  INT plainCount = SearchFiles(u"\\", u"*.exe", true, RecordVisit, &plain, nullptr);

  EXPECT_EQ(plainCount, 3);
  // Subfolders listed by a start that ignores the folders-only hint (files come along, as a file
  // system may give them), and by one that keeps it.
  const FolderListing listings[] = {{DotListing::First, DotListing::Next, DotListing::Close, nullptr},
                                    {DotListing::First, DotListing::Next, DotListing::Close, DotListing::FirstFolder}};
  for (const FolderListing& withDots : listings) {
    DotListing::listings = 0;
    SetFolderListing(&withDots);
    Visit dotted;
    INT dottedCount = SearchFiles(u"\\", u"*.exe", true, RecordVisit, &dotted, nullptr);
    SetFolderListing(nullptr);
    EXPECT_EQ(dottedCount, plainCount);
    EXPECT_EQ(dotted.seen, plain.seen);
    EXPECT_TRUE(DotListing::open.empty()) << "a listing was left open";
  }
}

TEST_F(SearchTest, FindsTheFirstCandidateInSearchOrder) {
  struct Case {
    const char* label;
    std::vector<const char*> files;
    bool visitedAny;
    const char16_t* found;  // null: navigatorPath keeps what it held
  } cases[] = {
      {"root folder wins over a deeper one",
       {"A/TomTom Mobile.exe", "TomTom Navigator.exe"},
       true,
       u"\\TomTom Navigator.exe"},
      {"a folder's own file before its subfolders",
       {"Apps/A/TomTom Navigator.exe", "Apps/TomTom Mobile.exe"},
       true,
       u"\\Apps\\TomTom Mobile.exe"},
      {"the three names rank the same",
       {"Z/TomTom Navigator.exe", "B/GPS Navigation.exe"},
       true,
       u"\\B\\GPS Navigation.exe"},
      {"letter case is ignored", {"Nav/tomtom NAVIGATOR.exe"}, true, u"\\Nav\\tomtom NAVIGATOR.exe"},
      {"only whole names match",
       {"MyTomTom Navigator.exe", "TomTom Navigator.exe.bak", "x/TomTom Navigator2.exe"},
       true,
       nullptr},
      {"executables but no navigator", {"Windows/calc.exe"}, true, nullptr},
      {"no executable at all", {"My Documents/notes.txt"}, false, nullptr},
  };
  for (const Case& c : cases) {
    DeviceFolder fresh;
    for (const char* file : c.files) fresh.Put(file);
    SetSentinel();
    EXPECT_EQ(FindNavigatorExecutable(), c.visitedAny) << c.label;
    EXPECT_EQ(Narrow(navigatorPath), Narrow(c.found != nullptr ? c.found : kSentinel)) << c.label;
  }
}

// The pre-call step on its own, with a scripted navigator in this process.
class EnsureRunningTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ce::user::UseBackend(ce::user::BackendKind::Null); }
  void SetUp() override { ASSERT_TRUE(OpenNavigatorLink(&link)); }

  DeviceFolder device;
  scripted::ScriptedPeer peer;
  NavigatorLink link;
};

TEST_F(EnsureRunningTest, RunningNavigatorNeedsNoSearchNoCursorAndNoExchange) {
  ASSERT_TRUE(peer.Start());
  device.Put("TomTom Navigator.exe", "", true);
  SetSentinel();
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  SetCursor(arrow);

  EXPECT_EQ(EnsureNavigatorRunning(&link), 0);
  EXPECT_EQ(navigatorWindow, peer.Window());
  EXPECT_EQ(Narrow(navigatorPath), Narrow(kSentinel)) << "searched although the navigator runs";
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_TRUE(peer.Requests().empty());
  EXPECT_EQ(device.CallsFolder(), std::vector<std::string>{});
}

TEST_F(EnsureRunningTest, NoCandidateGivesMinusFiveAndRestoresTheCursor) {
  device.Put("Windows/calc.exe", "", true);
  SetSentinel();
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  SetCursor(arrow);

  EXPECT_EQ(EnsureNavigatorRunning(&link), -5);
  EXPECT_EQ(navigatorWindow, nullptr);
  EXPECT_EQ(Narrow(navigatorPath), Narrow(kSentinel));
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_EQ(device.CallsFolder(), std::vector<std::string>{});
}

TEST_F(EnsureRunningTest, CandidateThatWillNotStartGivesMinusFive) {
  device.Put("Program Files/Navigator/TomTom Navigator.exe", "not a program", false);
  navigatorPath[0] = 0;
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  SetCursor(arrow);

  EXPECT_EQ(EnsureNavigatorRunning(&link), -5);
  EXPECT_EQ(Narrow(navigatorPath), "\\Program Files\\Navigator\\TomTom Navigator.exe");
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_EQ(device.CallsFolder(), std::vector<std::string>{});
}

TEST_F(EnsureRunningTest, ShowNavigatorBringsTheRunningWindowForward) {
  HWND other = nullptr;
  {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = u"OtherProgram";
    RegisterClassW(&windowClass);
    other = CreateWindowExW(0, u"OtherProgram", u"Other", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
  }
  EXPECT_EQ(ShowNavigator(), -5);
  EXPECT_EQ(GetForegroundWindow(), other);

  ASSERT_TRUE(peer.CreateNavigatorWindow());
  SetForegroundWindow(other);
  EXPECT_EQ(ShowNavigator(), 0);
  EXPECT_EQ(GetForegroundWindow(), peer.Window());
  EXPECT_TRUE(IsWindowVisible(peer.Window()));
  DestroyWindow(other);
}

}  // namespace
