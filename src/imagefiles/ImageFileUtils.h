#pragma once
// File helpers of the image files layer: atomic replacement of a file, unique
// temporary names, whole-file reads.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm {

bool FileExists(const std::string& fileName);  // a regular file (or a link to one)
bool FolderExists(const std::string& path);
// The folder part of a name ("." for a bare name).
std::string FolderOf(const std::string& fileName);

// The user's temporary folder: $TMPDIR, else /tmp.
std::string TempFolder();
// Creates an empty file of a unique name "<folder>/<stem>XXXXXX<suffix>" and returns
// its name; throws EInvalidGraphic when the folder takes no file.
std::string CreateUniqueFile(const std::string& folder, const std::string& stem, const std::string& suffix);

// Deletes a file when it exists (errors ignored); for temporary files held by a scope.
class TTempFile {
 public:
  explicit TTempFile(std::string name) : name_(std::move(name)) {}
  ~TTempFile();
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Name() const { return name_; }
  // Forgets the file (after it was renamed).
  void Release() { name_.clear(); }

 private:
  std::string name_;
};

// Writes a file atomically: write(tempName) writes the whole file under a unique
// temporary name in the target's folder; on success it is renamed over the target
// (keeping the target's permission bits when it existed). When write throws or the
// rename fails, the temporary file is deleted, the target is untouched and the error
// propagates (EInvalidGraphic for the rename).
void ReplaceFileAtomically(const std::string& target, const std::function<void(const std::string& tempName)>& write);

// The bytes of a file; throws EInvalidGraphic when it cannot be read or is larger than
// maxBytes.
std::vector<uint8_t> ReadWholeFile(const std::string& fileName, uint64_t maxBytes = uint64_t(1) << 32);
// Writes bytes to a file (created or replaced); throws EInvalidGraphic on failure.
void WriteWholeFile(const std::string& fileName, const uint8_t* data, size_t size);

}  // namespace qm
