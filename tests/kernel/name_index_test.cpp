// Names looked up ignoring case through the folder index answer as a fresh listing does, whatever
// changed the folder in between: this process, the host, a forked child, a lost change queue.
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "ce/kernel/name_index.h"
#include "tests/kernel/kernel_fixture.h"

namespace {

using NameIndexTest = DeviceTest;

struct Answer {
  bool found = false;
  std::string name;
};

Answer Indexed(const std::string& folder, const std::string& name) {
  struct stat st;
  Answer answer;
  if (lstat(folder.c_str(), &st) == 0) answer.found = ce::detail::FindEntryIgnoringCase(folder, st, name, answer.name);
  return answer;
}

Answer Listed(const std::string& folder, const std::string& name) {
  Answer answer;
  answer.found = ce::detail::ListEntryIgnoringCase(folder, name, answer.name);
  return answer;
}

TEST_F(NameIndexTest, AnswersAsAListingAfterEveryKindOfChange) {
  MakeHostFolder("fs/Calls");
  const std::string calls = Host("fs/Calls");
  auto host = [&](const std::string& name) { return calls + "/" + name; };
  struct Step {
    const char* what;
    std::function<void()> change;
    const char* probe;
    const char* expected;  // nullptr: not found
  };
  const Step steps[] = {
      {"empty folder", [] {}, "reply.finished", nullptr},
      {"host creates another spelling", [&] { WriteHostFile("fs/Calls/REPLY.finished", "x"); }, "reply.finished",
       "REPLY.finished"},
      {"a second spelling: the first sorted wins", [&] { WriteHostFile("fs/Calls/reply.FINISHED", "y"); },
       "Reply.Finished", "REPLY.finished"},
      {"the first renamed away", [&] { rename(host("REPLY.finished").c_str(), host("other.txt").c_str()); },
       "REPLY.FINISHED", "reply.FINISHED"},
      {"renamed in", [&] { rename(host("other.txt").c_str(), host("Moved.In").c_str()); }, "moved.in", "Moved.In"},
      {"the last spelling removed", [&] { unlink(host("reply.FINISHED").c_str()); }, "reply.finished", nullptr},
      {"made through the device calls", [&] { MakeFile(u"\\calls\\Made.Here", "z"); }, "MADE.HERE", "Made.Here"},
      {"deleted through the device calls", [] { DeleteFileW(u"\\CALLS\\made.here"); }, "Made.Here", nullptr},
      {"folder replaced by a new one",
       [&] {
         std::filesystem::remove_all(calls);
         MakeHostFolder("fs/Calls");
         WriteHostFile("fs/Calls/Fresh.Entry", "f");
       },
       "fresh.entry", "Fresh.Entry"},
      {"a child made a name and left",
       [&] {
         const pid_t child = fork();
         if (child == 0) {
           // The child inherits the parent's index: its own look-ups must still be right.
           const bool before = Indexed(calls, "CHILD.txt").found;
           FILE* f = fopen(host("child.TXT").c_str(), "w");
           if (f) fclose(f);
           _exit(!before && Indexed(calls, "CHILD.txt").found ? 0 : 1);
         }
         int status = 0;
         waitpid(child, &status, 0);
         EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's look-ups";
       },
       "CHILD.TXT", "child.TXT"},
      {"more changes than the queue holds",
       [&] {
         for (int i = 0; i < 9000; ++i) {
           FILE* f = fopen(host("churn").c_str(), "w");
           if (f) fclose(f);
           unlink(host("churn").c_str());
         }
         WriteHostFile("fs/Calls/After.Churn", "a");
       },
       "after.churn", "After.Churn"},
      {"more folders than are kept, then this one changed",
       [&] {
         for (int i = 0; i < 12; ++i) {
           const std::string folder = "fs/F" + std::to_string(i);
           MakeHostFolder(folder);
           EXPECT_FALSE(Indexed(Host(folder), "x").found);
         }
         unlink(host("After.Churn").c_str());
       },
       "after.churn", nullptr},
  };
  // The whole folder as the host lists it, as the kept names say, and as FindFirstFileW lists it.
  auto hostNames = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(calls)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };
  auto foundNames = [] {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\calls\\*", &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
      names.push_back(ce::ToUtf8(data.cFileName));
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
  };
  int keptAnswers = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    const Answer indexed = Indexed(calls, step.probe);
    std::vector<std::string> kept;
    struct stat st;
    if (lstat(calls.c_str(), &st) == 0 && ce::detail::IndexedFolderNames(st, kept)) {
      ++keptAnswers;
      std::sort(kept.begin(), kept.end());
      EXPECT_EQ(kept, hostNames());
    }
    EXPECT_EQ(foundNames(), hostNames());
    const Answer listed = Listed(calls, step.probe);
    EXPECT_EQ(indexed.found, step.expected != nullptr);
    EXPECT_EQ(listed.found, indexed.found);
    if (step.expected) {
      EXPECT_EQ(indexed.name, step.expected);
      EXPECT_EQ(listed.name, indexed.name);
    }
  }
  // Kept names answer after every step but the one that had more folders than are kept.
  EXPECT_GE(keptAnswers, 10);
}

// A file call on a name the index has seen missing must notice it appear in another spelling.
TEST_F(NameIndexTest, FileCallsSeeANameThatAppearedAfterItWasMissing) {
  MakeHostFolder("fs/Calls");
  struct Row {
    const char* what;
    std::function<bool()> call;  // true when the call found the file
  };
  const Row rows[] = {
      {"open existing",
       [] {
         HANDLE h =
             CreateFileW(u"\\Calls\\late.file", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
         if (h == INVALID_HANDLE_VALUE) return false;
         CloseHandle(h);
         return true;
       }},
      {"create always opens it",
       [this] {
         HANDLE h = CreateFileW(u"\\Calls\\late.file", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
         if (h == INVALID_HANDLE_VALUE) return false;
         const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
         CloseHandle(h);
         return existed && !HostExists("fs/Calls/late.file");
       }},
      {"move onto it is refused", [] { return !MoveFileW(u"\\Calls\\source", u"\\Calls\\late.file"); }},
      {"delete", [] { return DeleteFileW(u"\\Calls\\late.file") != FALSE; }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteHostFile("fs/Calls/source", "s");
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(u"\\Calls\\late.file"), INVALID_FILE_ATTRIBUTES);
    HANDLE missing =
        CreateFileW(u"\\Calls\\late.file", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(missing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    WriteHostFile("fs/Calls/LATE.File", "late");
    EXPECT_TRUE(row.call());
    std::filesystem::remove(Host("fs/Calls/LATE.File"));
  }
}

// A folder whose names are kept is taken at its path without a look: any change of the path on the
// way to it (a folder renamed, removed or replaced) must be noticed by the next call.
TEST_F(NameIndexTest, FileCallsNoticeTheWayToAKeptFolderChanging) {
  struct Row {
    const char* what;
    std::function<void()> change;
    bool found;  // whether "\\A\\Calls\\x" is there (as X) afterwards
  };
  auto fresh = [this](const std::string& folder) {
    std::filesystem::create_directories(Host(folder));
    WriteHostFile(folder + "/X", "x");
  };
  const Row rows[] = {
      {"a folder on the way renamed, another made in its place",
       [&] {
         std::filesystem::rename(Host("fs/A"), Host("fs/A.old"));
         fresh("fs/A/Calls");
       },
       true},
      {"the folder renamed, another made in its place",
       [&] {
         std::filesystem::rename(Host("fs/A/Calls"), Host("fs/A/Old"));
         fresh("fs/A/Calls");
       },
       true},
      {"a folder on the way replaced by a link to another one",
       [&] {
         std::filesystem::rename(Host("fs/A"), Host("fs/A.old"));
         fresh("fs/B/Calls");
         std::filesystem::create_directory_symlink(Host("fs/B"), Host("fs/A"));
       },
       true},
      {"the folder removed", [&] { std::filesystem::remove_all(Host("fs/A/Calls")); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (const char* old : {"fs/A", "fs/A.old", "fs/B"}) std::filesystem::remove_all(Host(old));
    std::filesystem::create_directories(Host("fs/A/Calls"));
    // Missing names make the folder kept and its path known.
    ASSERT_EQ(GetFileAttributesW(u"\\A\\Calls\\x"), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(GetFileAttributesW(u"\\A\\Calls\\x"), INVALID_FILE_ATTRIBUTES);
    row.change();
    EXPECT_EQ(GetFileAttributesW(u"\\A\\Calls\\x") != INVALID_FILE_ATTRIBUTES, row.found);
    WIN32_FIND_DATAW entry;
    HANDLE listing = FindFirstFileW(u"\\A\\Calls\\*", &entry);
    EXPECT_EQ(listing != INVALID_HANDLE_VALUE, row.found) << "the folder listed";
    if (listing != INVALID_HANDLE_VALUE) FindClose(listing);
    // A name about to be made: there already, or its folder is gone.
    HANDLE made = CreateFileW(u"\\A\\Calls\\x", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_EQ(made, INVALID_HANDLE_VALUE);
    if (made != INVALID_HANDLE_VALUE) CloseHandle(made);
    EXPECT_EQ(GetLastError(), DWORD(row.found ? ERROR_FILE_EXISTS : ERROR_PATH_NOT_FOUND));
  }
}

}  // namespace
