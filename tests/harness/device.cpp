// The device folder, the Xvfb screen process and the programs started on the device.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/harness/harness.h"

namespace fs = std::filesystem;

namespace harness {

bool WaitFor(const std::function<bool()>& ready, int timeoutMs, int pollMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return ready();
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

namespace {

int StatusToCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reaps a child within timeoutMs; false when it still runs.
bool ReapWithin(pid_t pid, int timeoutMs, int* code) {
  bool done = false;
  WaitFor(
      [&] {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
          *code = StatusToCode(status);
          done = true;
        } else if (r < 0) {
          done = true;  // not our child any more (reaped elsewhere)
        }
        return done;
      },
      timeoutMs, 2);
  return done;
}

// Children of this process found in /proc (orphans of our programs are reparented here, as the
// Device makes this process a subreaper).
std::vector<pid_t> ChildrenOfThisProcess() {
  std::vector<pid_t> out;
  const pid_t self = getpid();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    size_t close = line.rfind(')');  // the command name may hold spaces and parentheses
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    char state;
    long ppid;
    if (rest >> state >> ppid && ppid == self) out.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return out;
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::create_directories(fs::path(to).parent_path(), ec);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    std::fprintf(stderr, "harness: cannot copy %s to %s: %s\n", from.c_str(), to.c_str(), ec.message().c_str());
    return false;
  }
  return true;
}

}  // namespace

// ---- Program ----

bool Program::Running() {
  if (reaped_) return false;
  int status;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    exitCode_ = StatusToCode(status);
    reaped_ = true;
  } else if (r < 0) {
    reaped_ = true;
  }
  return !reaped_;
}

bool Program::Wait(int timeoutMs) {
  return WaitFor([this] { return !Running(); }, timeoutMs, 2);
}

void Program::Kill(int signal) {
  if (reaped_) return;
  kill(-pid_, signal);  // its process group: what it started without a session of its own
  kill(pid_, signal);
}

std::string Program::Output() const {
  std::ifstream in(logPath_, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// ---- Device ----

Device::Device(const Profile& profile) : profile_(profile) {
  // Programs started on the device may start others (the navigator); when their parent ends they are
  // handed to this process, so StopPrograms can find and end them.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tm-device-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    std::perror("harness: mkdtemp");
    return;
  }
  root_ = buf.data();
  std::error_code ec;
  fs::create_directories(root_ + "/fs", ec);
  fs::create_directories(root_ + "/logs", ec);
  std::ofstream ini(root_ + "/device.ini");
  ini << "[screen]\nwidth=" << profile_.width << "\nheight=" << profile_.height
      << "\n[system]\nplatform=" << profile_.platform << "\ndeviceid=" << profile_.deviceId << "\n";
  ok_ = !ec && ini.good();
}

Device::~Device() {
  StopPrograms();
  StopScreen();
  const char* keep = std::getenv("TM_KEEP_DEVICE");
  if (!root_.empty()) {
    if (keep && std::strcmp(keep, "1") == 0) {
      std::fprintf(stderr, "harness: device kept in %s\n", root_.c_str());
    } else {
      std::error_code ec;
      fs::remove_all(root_, ec);
    }
  }
}

std::string Device::HostPath(const std::string& devicePath) const {
  std::string rel = devicePath;
  for (char& c : rel) {
    if (c == '\\') c = '/';
  }
  while (!rel.empty() && rel.front() == '/') rel.erase(rel.begin());
  return root_ + "/fs/" + rel;
}

bool Device::Install(const std::string& hostFile, const std::string& devicePath) {
  const std::string to = HostPath(devicePath);
  if (!CopyFile(hostFile, to)) return false;
  struct stat st;
  if (stat(hostFile.c_str(), &st) == 0) chmod(to.c_str(), st.st_mode & 0777);
  return true;
}

bool Device::WriteFile(const std::string& devicePath, const std::string& data) {
  const std::string to = HostPath(devicePath);
  std::error_code ec;
  fs::create_directories(fs::path(to).parent_path(), ec);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << data;
  return out.good();
}

bool Device::ReadFile(const std::string& devicePath, std::string* data) const {
  std::ifstream in(HostPath(devicePath), std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *data = out.str();
  return true;
}

bool Device::Exists(const std::string& devicePath) const {
  std::error_code ec;
  return fs::exists(HostPath(devicePath), ec);
}

bool Device::StartScreen() {
  if (screen_) return true;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const std::string size =
      std::to_string(profile_.width) + "x" + std::to_string(profile_.height) + "x" + std::to_string(profile_.depth);
  const std::string log = root_ + "/logs/xvfb.log";
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    const int fd = dup(fds[1]);  // without close-on-exec, for -displayfd
    const std::string fdText = std::to_string(fd);
    // No display number: Xvfb takes the first free one itself and writes it to the pipe.
    execlp("Xvfb", "Xvfb", "-screen", "0", size.c_str(), "-nolisten", "tcp", "-noreset", "-displayfd", fdText.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  xvfb_ = pid;
  std::string number;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[32];
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;  // Xvfb ended
    number.append(buf, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    std::fprintf(stderr, "harness: Xvfb did not start (see %s)\n", log.c_str());
    StopScreen();
    return false;
  }
  display_ = ":" + number.substr(0, number.find('\n'));
  screen_.reset(new Screen());
  if (!screen_->Connect(display_)) {
    std::fprintf(stderr, "harness: cannot connect to Xvfb on %s\n", display_.c_str());
    StopScreen();
    return false;
  }
  return true;
}

void Device::StopScreen() {
  screen_.reset();
  if (xvfb_ > 0) {
    kill(xvfb_, SIGTERM);
    int code;
    if (!ReapWithin(xvfb_, 2000, &code)) {
      kill(xvfb_, SIGKILL);
      ReapWithin(xvfb_, 2000, &code);
    }
    xvfb_ = -1;
  }
  display_.clear();
}

Program* Device::Start(const std::string& path, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) {
  const std::string host = !path.empty() && path[0] == '\\' ? HostPath(path) : path;
  auto program = std::make_unique<Program>();
  program->path_ = host;
  program->logPath_ = root_ + "/logs/program-" + std::to_string(++started_) + ".log";
  std::vector<std::string> argStore;
  argStore.push_back(host);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);
    int out = open(program->logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    setenv("CE_DEVICE", root_.c_str(), 1);
    if (display_.empty()) {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", display_.c_str(), 1);
    }
    unsetenv("CE_BACKEND");
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    execv(host.c_str(), argv.data());
    std::fprintf(stderr, "harness: cannot run %s: %s\n", host.c_str(), std::strerror(errno));
    _exit(127);
  }
  setpgid(pid, pid);  // also here, so a Kill right after Start finds the group
  program->pid_ = pid;
  programs_.push_back(std::move(program));
  return programs_.back().get();
}

void Device::SetEnvironment() const {
  setenv("CE_DEVICE", root_.c_str(), 1);
  if (!display_.empty()) setenv("DISPLAY", display_.c_str(), 1);
}

void Device::StopPrograms() {
  for (auto& p : programs_) {
    if (!p->Running()) continue;
    p->Kill(SIGKILL);
    p->Wait(2000);
  }
  // Whatever they started and left behind was handed to this process: end it too, but not Xvfb.
  for (int round = 0; round < 3; ++round) {
    std::vector<pid_t> orphans = ChildrenOfThisProcess();
    bool any = false;
    for (pid_t pid : orphans) {
      if (pid == xvfb_) continue;
      bool ours = false;
      for (auto& p : programs_) ours = ours || p->pid() == pid;
      if (ours) continue;
      kill(pid, SIGKILL);
      int code;
      ReapWithin(pid, 2000, &code);
      any = true;
    }
    if (!any) break;
  }
}

}  // namespace harness
