// trapmarker-export: the navigator's category files as CSV, GPX or GeoJSON.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/exporter/export.h"

namespace {

constexpr int kExitAllRead = 0;
constexpr int kExitNotAllRead = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: trapmarker-export [-f csv|gpx|geojson] [-o FILE] [-q|-v] PATH...\n"
    "  PATH        a category file (NAME.ov2) or a map folder (its *.ov2 files)\n"
    "  -f FORMAT   csv (default), gpx or geojson\n"
    "  -o FILE     write to FILE instead of standard output\n"
    "  -q          report only errors, not notices\n"
    "  -v          every notice; without it, the first few of each kind and a count\n"
    "Errors (damaged files and points) are always reported one by one.\n"
    "Exit status: 0 when every file and point was read and decoded, 1 when\n"
    "something was not (each case is named on standard error), 2 on a usage\n"
    "or output error.\n"
    "GeoJSON direction: the way the camera looks, from the driver's heading at\n"
    "capture. \"This side\" watches the driver's own traffic coming towards it,\n"
    "so it faces heading+180; \"Other side\" watches the oncoming traffic, so it\n"
    "faces the heading; \"Reversible\" gives both, \"heading+180;heading\".\n";

bool EndsWithOv2(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".ov2";
}

// The category files of a folder, in name order so the output is stable.
bool ListFolder(const std::string& folder, std::vector<std::string>& files) {
  std::error_code ec;
  std::vector<std::string> found;
  std::filesystem::directory_iterator it(folder, ec), end;
  if (ec) {
    std::fprintf(stderr, "%s: cannot list folder: %s\n", folder.c_str(), ec.message().c_str());
    return false;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      std::fprintf(stderr, "%s: error while listing folder: %s\n", folder.c_str(), ec.message().c_str());
      return false;
    }
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (EndsWithOv2(name) && it->is_regular_file(typeError)) found.push_back(it->path().string());
  }
  if (found.empty()) {
    std::fprintf(stderr, "%s: no category files (*.ov2) in this folder\n", folder.c_str());
    return false;
  }
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
  return true;
}

bool WriteOutput(const std::string& path, const std::string& text) {
  if (path.empty() || path == "-") {
    const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
    if (!ok) std::fprintf(stderr, "cannot write to standard output: %s\n", std::strerror(errno));
    return ok;
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "%s: cannot create: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::fprintf(stderr, "%s: cannot write: %s\n", path.c_str(), std::strerror(errno));
  return ok;
}

// Notices by kind: the first few of each are printed as they come, the rest only counted
// (all of them with -v). Errors always go out one by one.
class NoticeSummary {
 public:
  static constexpr std::size_t kExamples = 3;

  explicit NoticeSummary(bool verbose) : verbose_(verbose) {}

  void Add(const std::string& kind, const std::string& text) {
    auto it = std::find_if(kinds_.begin(), kinds_.end(), [&](const Kind& k) { return k.name == kind; });
    if (it == kinds_.end()) {
      kinds_.push_back({kind, 0});
      it = kinds_.end() - 1;
    }
    if (verbose_ || it->count < kExamples) std::fprintf(stderr, "%s\n", text.c_str());
    ++it->count;
  }

  // One line per kind that had more notices than were shown.
  void Print() const {
    for (const Kind& k : kinds_)
      if (!verbose_ && k.count > kExamples)
        std::fprintf(stderr, "%zu notices \"%s\" (the first %zu shown; -v shows every one)\n", k.count, k.name.c_str(),
                     kExamples);
  }

 private:
  struct Kind {
    std::string name;
    std::size_t count;
  };
  bool verbose_;
  std::vector<Kind> kinds_;
};

}  // namespace

int main(int argc, char** argv) {
  exporter::Format format = exporter::Format::Csv;
  std::string output;
  bool quiet = false;
  bool verbose = false;
  std::vector<std::string> paths;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* option) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n%s", option, kUsage);
        return nullptr;
      }
      return argv[++i];
    };
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return kExitAllRead;
    } else if (arg == "-f" || arg == "--format") {
      const char* v = value("-f");
      if (v == nullptr) return kExitUsage;
      const auto parsed = exporter::ParseFormat(v);
      if (!parsed) {
        std::fprintf(stderr, "unknown format \"%s\"\n%s", v, kUsage);
        return kExitUsage;
      }
      format = *parsed;
    } else if (arg == "-o" || arg == "--output") {
      const char* v = value("-o");
      if (v == nullptr) return kExitUsage;
      output = v;
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "-v" || arg == "--verbose") {
      verbose = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "unknown option \"%s\"\n%s", arg.c_str(), kUsage);
      return kExitUsage;
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }

  bool allRead = true;
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      allRead = ListFolder(path, files) && allRead;
    } else {
      if (!quiet && !EndsWithOv2(path))
        std::fprintf(stderr, "%s: name does not end in .ov2; reading it as a category file anyway\n", path.c_str());
      files.push_back(path);
    }
  }

  NoticeSummary notices(verbose);
  const exporter::KindedMessageSink sink = [quiet, &notices](exporter::Severity severity, const std::string& kind,
                                                             const std::string& text) {
    if (severity == exporter::Severity::Error)
      std::fprintf(stderr, "error: %s\n", text.c_str());
    else if (!quiet)
      notices.Add(kind, text);
  };

  std::vector<exporter::ExportPoint> points;
  std::size_t filesRead = 0;
  for (const std::string& file : files) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!exporter::ReadFileBytes(file, bytes, error)) {
      std::fprintf(stderr, "error: %s: cannot read: %s\n", file.c_str(), error.c_str());
      allRead = false;
      continue;
    }
    ++filesRead;
    allRead = exporter::CollectFile(file, bytes, points, sink) && allRead;
  }

  if (!WriteOutput(output, exporter::Write(format, points))) return kExitUsage;

  if (!quiet) {
    notices.Print();
    const auto cameras = std::count_if(points.begin(), points.end(), [](const auto& p) { return p.isCamera; });
    std::fprintf(stderr, "%zu point(s), %zu camera(s), from %zu of %zu file(s)%s\n", points.size(),
                 static_cast<std::size_t>(cameras), filesRead, files.size(),
                 allRead ? "" : "; not everything could be read");
  }
  return allRead ? kExitAllRead : kExitNotAllRead;
}
