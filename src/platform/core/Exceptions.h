#pragma once
// The exceptions of file reading and writing. Readers raise them for anything a file
// does not allow; the load and save dispatch catches them and reports the failure.
//
//   EStreamError        a stream that does not hold what its format says (bad magic,
//                       bad tag, a value out of range)
//     EReadError        a read past the end: the stream is truncated, or a length or
//                       count asks for more bytes than are left
//     EWriteError       a write that did not complete (disk full, closed stream)
//     EFileStreamError  a file that cannot be created, opened or renamed
//   EInvalidGraphic     a picture that cannot be made or written (no pixels, a pixel
//                       format the writer does not take)
#include <stdexcept>
#include <string>

namespace qm {

class EStreamError : public std::runtime_error {
 public:
  explicit EStreamError(const std::string& message = std::string()) : std::runtime_error(message) {}
};

class EReadError : public EStreamError {
 public:
  explicit EReadError(const std::string& message = std::string()) : EStreamError(message) {}
};

class EWriteError : public EStreamError {
 public:
  explicit EWriteError(const std::string& message = std::string()) : EStreamError(message) {}
};

class EFileStreamError : public EStreamError {
 public:
  explicit EFileStreamError(const std::string& message = std::string()) : EStreamError(message) {}
};

class EInvalidGraphic : public std::runtime_error {
 public:
  explicit EInvalidGraphic(const std::string& message = std::string()) : std::runtime_error(message) {}
};

}  // namespace qm
