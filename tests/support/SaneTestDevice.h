#pragma once
// SANE's "test" device under a configuration of our own, for the scanning tests and
// benchmarks: a folder with dll.conf naming only the test backend and test.conf with
// twelve devices and the option values asked for; SANE_CONFIG_DIR and QM_HOME point
// there, so neither the machine's scanners nor the user's settings take part. Also
// scanimage run on the same configuration, and its PNM output read back.
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace qm::test {

using TSaneOptions = std::map<std::string, std::string>;

class TSaneTestDevice {
 public:
  // The folder is made anew under base, one per process: SANE reads its configuration
  // folder's name once, so every device of a process lives in the same folder.
  // options: test.conf keys and values ("mode" -> "Color") over our defaults.
  explicit TSaneTestDevice(const TSaneOptions& options = {}) : TSaneTestDevice(TestTmp(), options) {}
  TSaneTestDevice(const std::string& base, const TSaneOptions& options) {
    folder_ = std::filesystem::absolute(base + "/sane_" + std::to_string(::getpid())).string();
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ + "/dll.conf") << "test\n";
    // Every key, each time: the backend keeps the values of keys a later file leaves out.
    std::map<std::string, std::string> conf = {
        {"number_of_devices", "12"}, {"mode", "Gray"}, {"depth", "8"}, {"hand-scanner", "false"},
        {"three-pass", "false"}, {"three-pass-order", "RGB"}, {"resolution_min", "1.0"},
        {"resolution_max", "1200.0"}, {"resolution_quant", "1.0"}, {"resolution", "50"},
        {"test-picture", "\"Color pattern\""}, {"invert-endianess", "false"}, {"read-limit", "false"},
        {"read-limit-size", "1"}, {"read-delay", "false"}, {"read-delay-duration", "1000"},
        {"read-status-code", "\"Default\""}, {"fuzzy-parameters", "false"}, {"ppl-loss", "0"},
        {"non-blocking", "false"}, {"select-fd", "false"}, {"enable-test-options", "false"},
        {"geometry_min", "0.0"}, {"geometry_max", "300.0"}, {"geometry_quant", "0.0"}, {"tl_x", "0.0"},
        {"tl_y", "0.0"}, {"br_x", "80.0"}, {"br_y", "100.0"}};
    for (const auto& [key, value] : options) conf[key] = value;
    std::ofstream out(folder_ + "/test.conf");
    for (const auto& [key, value] : conf) out << key << ' ' << value << '\n';
    setenv("SANE_CONFIG_DIR", folder_.c_str(), 1);
    setenv("QM_HOME", folder_.c_str(), 1);
    // Kept mapped when SANE releases it at sane_exit: what the backend keeps in its
    // globals then stays reachable, instead of being reported as leaked by a library
    // that is gone.
    static void* backend = dlopen("/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
    (void)backend;
  }
  const std::string& Folder() const { return folder_; }

 private:
  static std::string TestTmp() {
    const char* env = std::getenv("QM_TEST_TMP");
    return env ? env : "tmp";
  }
  std::string folder_;
};

// Runs scanimage with the arguments, its output in the file; false when it fails.
inline bool RunScanimage(const std::vector<std::string>& args, const std::string& output) {
  std::vector<std::string> all = {"scanimage"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), 01101 /* O_WRONLY|O_CREAT|O_TRUNC */, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, "scanimage", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return rc == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A binary PNM (P4, P5 or P6) as written by scanimage: its size, samples per pixel,
// bytes per sample and the raw rows.
struct TPnm {
  int Width = 0, Height = 0, Channels = 0, SampleBytes = 1;
  bool Bits = false;  // P4: rows of bits, 1 is black
  std::vector<uint8_t> Data;
  size_t RowBytes() const { return Bits ? size_t(Width + 7) / 8 : size_t(Width) * Channels * SampleBytes; }
};

inline bool ReadPnm(const std::string& file, TPnm& pnm) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  in >> magic;
  auto number = [&in] {
    in >> std::ws;
    while (in.peek() == '#') {
      std::string comment;
      std::getline(in, comment);
      in >> std::ws;
    }
    int v = -1;
    in >> v;
    return v;
  };
  pnm.Width = number();
  pnm.Height = number();
  pnm.Bits = magic == "P4";
  const int maxval = pnm.Bits ? 1 : number();
  pnm.Channels = magic == "P6" ? 3 : 1;
  pnm.SampleBytes = maxval > 255 ? 2 : 1;
  in.get();
  pnm.Data.resize(pnm.RowBytes() * size_t(std::max(pnm.Height, 0)));
  in.read(reinterpret_cast<char*>(pnm.Data.data()), std::streamsize(pnm.Data.size()));
  return (magic == "P4" || magic == "P5" || magic == "P6") && pnm.Width > 0 && pnm.Height > 0 && bool(in);
}

}  // namespace qm::test
