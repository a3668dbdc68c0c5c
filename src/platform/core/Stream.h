#pragma once
// Byte streams for the program's file formats: an abstract stream with little-endian
// helpers, a memory stream, a read-only view of bytes, a buffered file stream and a
// file stream that replaces its target atomically.
//
// Reading never trusts the data: ReadBuffer and the typed readers raise EReadError
// when fewer bytes are left than asked, and Require lets a reader check a length or
// a count against what is left before it allocates anything.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Exceptions.h"

namespace qm {

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes at the position and moves past them; fewer only at the end.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes count bytes at the position (growing the stream) or raises EWriteError.
  virtual void Write(const void* buffer, size_t count) = 0;
  virtual int64_t Position() const = 0;
  // Moves to a position in 0..Size(); anything else raises EStreamError.
  virtual void Seek(int64_t position) = 0;
  virtual int64_t Size() const = 0;

  int64_t Remaining() const { return Size() - Position(); }
  // EReadError unless count bytes (count >= 0) are left.
  void Require(int64_t count) const;
  // Exactly count bytes, or EReadError (the position is then unspecified).
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count) { Write(buffer, count); }
  // Moves count bytes on; EReadError when they are not there.
  void Skip(int64_t count);

  // Little-endian numbers.
  uint8_t ReadUInt8();
  uint16_t ReadUInt16();
  int32_t ReadInt32();
  uint32_t ReadUInt32();
  double ReadDouble();
  void WriteUInt8(uint8_t v) { Write(&v, 1); }
  void WriteUInt16(uint16_t v);
  void WriteInt32(int32_t v) { WriteUInt32(uint32_t(v)); }
  void WriteUInt32(uint32_t v);
  void WriteDouble(double v);
};

// A growable stream in memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
  size_t Read(void* buffer, size_t count) override;
  void Write(const void* buffer, size_t count) override;
  int64_t Position() const override { return int64_t(pos_); }
  void Seek(int64_t position) override;
  int64_t Size() const override { return int64_t(data_.size()); }

  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<uint8_t>& Data() { return data_; }

 private:
  std::vector<uint8_t> data_;
  size_t pos_ = 0;
};

// Reads bytes the caller keeps alive; writing raises EWriteError.
class TBytesStream : public TStream {
 public:
  TBytesStream(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(data ? size : 0) {}
  size_t Read(void* buffer, size_t count) override;
  void Write(const void*, size_t) override;
  int64_t Position() const override { return int64_t(pos_); }
  void Seek(int64_t position) override;
  int64_t Size() const override { return int64_t(size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

enum TFileMode : int {
  fmOpenRead,       // an existing file, read only
  fmOpenReadWrite,  // an existing file, patched in place
  fmCreate,         // created or truncated, read and write
};

// A buffered file. Opening or creating a file that cannot be opened raises
// EFileStreamError; I/O failures raise EReadError or EWriteError. Large reads and
// writes go straight to the file.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  void Write(const void* buffer, size_t count) override;
  int64_t Position() const override { return pos_; }
  void Seek(int64_t position) override;
  int64_t Size() const override { return size_; }

  // Writes what is buffered; EWriteError on failure.
  void Flush();
  // Flushes and closes; EWriteError on failure. Later calls do nothing.
  void Close();
  const std::string& FileName() const { return fileName_; }

 protected:
  // For TAtomicFileStream: adopts an open descriptor.
  TFileStream(int fd, std::string fileName);

 private:
  void DropReadBuffer() { rlen_ = 0; }
  int fd_ = -1;
  bool writable_ = true;
  std::string fileName_;
  int64_t pos_ = 0, size_ = 0;
  std::unique_ptr<uint8_t[]> buf_;
  // The buffer holds either bytes read from rstart_ (rlen_ of them) or bytes to be
  // written at wstart_ (wlen_ of them), never both.
  int64_t rstart_ = 0, wstart_ = 0;
  size_t rlen_ = 0, wlen_ = 0;
};

// Writes a new version of a file: the bytes go to a fresh file with a unique name in
// the target's folder, which Commit renames over the target (a symbolic link is
// followed: the file it names is replaced). Until Commit succeeds the target is
// untouched; a stream destroyed without Commit removes its temporary file. The new
// file keeps the permissions of the file it replaces.
class TAtomicFileStream : public TFileStream {
 public:
  // EFileStreamError when the folder does not take a new file.
  explicit TAtomicFileStream(const std::string& target);
  ~TAtomicFileStream() override;
  // Flushes, closes and renames over the target; EWriteError or EFileStreamError on
  // failure (the temporary file is then removed and the target left as it was).
  void Commit();
  const std::string& Target() const { return target_; }
  const std::string& TemporaryName() const { return FileName(); }

 private:
  TAtomicFileStream(std::pair<int, std::string> created, std::string target);
  std::string target_;
  bool committed_ = false;
};

// --- Stored text ----------------------------------------------------------------------
// Our files store text as UTF-8. Files of the program's first platform stored the
// same fields in the Windows-1252 code page, so text that is not valid UTF-8 is read
// as Windows-1252.

bool IsValidUtf8(std::string_view s);
// The text with every byte that does not belong to a well-formed UTF-8 character
// replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view s);
std::string Windows1252ToUtf8(std::string_view s);
// The text of stored bytes as UTF-8.
std::string DecodeStoredText(std::string_view bytes);
// The longest prefix of s of at most maxBytes bytes that does not cut a character.
std::string_view Utf8Prefix(std::string_view s, size_t maxBytes);

// int32 length, then the bytes. Writing cuts the text to maxBytes (whole characters);
// reading refuses a negative length or one beyond the bytes left (EReadError) and
// decodes the bytes with DecodeStoredText.
void WriteStoredString(TStream& s, std::string_view text, size_t maxBytes);
std::string ReadStoredString(TStream& s);

}  // namespace qm
