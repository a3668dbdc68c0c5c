#pragma once
// Files and folders of the test programs, all under one root: QM_TEST_TMP (the build's
// tests/tmp under ctest, where tests of several programs run in parallel), else tmp/ in
// the working directory.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

// The root, created.
std::filesystem::path TestTmpRoot();

// A named folder under the root (with an optional sub-folder), created and kept after
// the run: for files another program reads afterwards, such as the fuzzers' seeds.
std::string TestTmpDir(const std::string& name, const std::string& sub = "");

// A folder of the running test's own (suite, name and process), emptied first.
std::string TestFolder();

// A fresh folder under the root, removed with everything in it on destruction (also
// when a test took its permissions away).
struct TempFolder {
  std::filesystem::path Path;

  explicit TempFolder(const std::string& prefix = "qm");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The path of a file in the folder (not created).
  std::string File(const std::string& name) const;
  // Writes the file and returns its path.
  std::string Write(const std::string& name, std::string_view content) const;
};

std::vector<uint8_t> ReadFileBytes(const std::string& name);
void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes);

}  // namespace qm::test
