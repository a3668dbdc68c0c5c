#pragma once
// Shared by the codec benchmarks: the photo as files of each format (made once, in
// memory-backed storage so disks play no part), and running a library's own
// command-line program on them.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Harness.h"

extern char** environ;

namespace qm::bench {

// A folder for the benchmark files, removed when the program ends.
inline const std::string& CodecFolder() {
  struct Folder {
    std::string path;
    Folder() {
      const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
      path = base + "/qm_codec_bench_" + std::to_string(::getpid());
      std::filesystem::create_directories(path);
    }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static Folder folder;
  return folder.path;
}

// How a program run by RunTool ended: true when it exited with status 0; else the
// reason, for the row's error.
struct TToolRun {
  bool Ok = false;
  std::string Reason;
  bool TimedOut = false;  // killed at the time limit
  explicit operator bool() const { return Ok; }
};

// The longest a tool run may take before it is killed: a peer that hangs (scanimage
// once sat for minutes at no CPU on the test device) costs its row, not the run. The
// tools end within two seconds on the photo; the batch's runs of gm over 200 photos
// give their own limit.
constexpr int kToolTimeLimitSeconds = 60;

// Runs a program with its arguments, no input, its output thrown away and OpenMP
// limited to `threads` (the tools that use threads use OpenMP), in a process group of
// its own: past the time limit the whole group (xargs and what it started) is killed.
inline TToolRun RunTool(const std::vector<std::string>& args, int threads,
                        int limitSeconds = kToolTimeLimitSeconds) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("OMP_NUM_THREADS=", 0) != 0) envText.emplace_back(*e);
  envText.push_back("OMP_NUM_THREADS=" + std::to_string(threads));
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return {false, args[0] + " could not start: " + std::strerror(rc)};
  // The end is waited for on a descriptor of the process, so a fast tool is not timed
  // with a polling step; without one (a kernel before 5.3), polled each millisecond.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  int status = 0;
  pid_t waited = 0;
  bool timedOut = false;
  if (const int fd = int(::syscall(SYS_pidfd_open, pid, 0)); fd >= 0) {
    pollfd p{fd, POLLIN, 0};
    int ready;
    do ready = ::poll(&p, 1, limitSeconds * 1000);
    while (ready < 0 && errno == EINTR);
    ::close(fd);
    timedOut = ready == 0;
  } else {
    while ((waited = ::waitpid(pid, &status, WNOHANG)) == 0 && !timedOut) {
      ::usleep(1000);
      timedOut = std::chrono::steady_clock::now() >= deadline;
    }
  }
  if (timedOut) ::kill(-pid, SIGKILL);
  while (waited == 0 || (waited < 0 && errno == EINTR)) waited = ::waitpid(pid, &status, 0);
  if (timedOut) return {false, args[0] + " killed after " + std::to_string(limitSeconds) + " s without ending", true};
  if (waited < 0) return {false, args[0] + ": " + std::strerror(errno)};
  if (WIFSIGNALED(status)) return {false, args[0] + " ended by signal " + std::to_string(WTERMSIG(status))};
  if (WEXITSTATUS(status) != 0) return {false, args[0] + " exited with status " + std::to_string(WEXITSTATUS(status))};
  return {true, {}};
}

inline bool HaveTool(const char* name) {
  const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// The photo as a binary PPM (the input the JPEG encoder tool takes).
inline const std::string& PhotoPpm() {
  static const std::string path = [] {
    const std::string p = CodecFolder() + "/photo.ppm";
    const TBitmap& b = Photo();
    FILE* f = std::fopen(p.c_str(), "wb");
    std::fprintf(f, "P6\n%d %d\n255\n", b.Width(), b.Height());
    std::vector<uint8_t> row(size_t(b.Width()) * 3);
    for (int y = 0; y < b.Height(); ++y) {
      const uint8_t* s = b.ScanLine(y);
      for (int x = 0; x < b.Width(); ++x) {
        row[size_t(x) * 3] = s[3 * x + 2];
        row[size_t(x) * 3 + 1] = s[3 * x + 1];
        row[size_t(x) * 3 + 2] = s[3 * x];
      }
      std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
    return p;
  }();
  return path;
}

}  // namespace qm::bench
