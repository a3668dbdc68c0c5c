#pragma once
// Shared by the codec benchmarks: the photo as files of each format (made once, in
// memory-backed storage so disks play no part), and running a library's own
// command-line program on them.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// Runs a program with its arguments, its output thrown away and OpenMP limited to
// `threads` (the tools that use threads use OpenMP). False when it fails.
inline bool RunTool(const std::vector<std::string>& args, int threads) {
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
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1 /* O_WRONLY */, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  if (::waitpid(pid, &status, 0) < 0) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
