#include "support/TempFiles.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace qm::test {

namespace fs = std::filesystem;

fs::path TestTmpRoot() {
  const char* env = std::getenv("QM_TEST_TMP");
  const fs::path root = env && *env ? fs::path(env) : fs::current_path() / "tmp";
  fs::create_directories(root);
  return root;
}

std::string TestTmpDir(const std::string& name, const std::string& sub) {
  fs::path p = TestTmpRoot() / name;
  if (!sub.empty()) p /= sub;
  fs::create_directories(p);
  return p.string();
}

std::string TestFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path dir = TestTmpRoot() / (std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                                        std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string();
}

TempFolder::TempFolder(const std::string& prefix) {
  std::string pattern = (TestTmpRoot() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(pattern.data()))
    throw fs::filesystem_error("mkdtemp", pattern, std::error_code(errno, std::generic_category()));
  Path = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(Path, ec);
}

std::string TempFolder::File(const std::string& name) const { return (Path / name).string(); }

std::string TempFolder::Write(const std::string& name, std::string_view content) const {
  const std::string p = File(name);
  std::ofstream(p, std::ios::binary | std::ios::trunc).write(content.data(), std::streamsize(content.size()));
  return p;
}

std::vector<uint8_t> ReadFileBytes(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace qm::test
