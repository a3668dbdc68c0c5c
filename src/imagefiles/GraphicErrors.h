#pragma once
// Failures of reading pictures: every reader throws one of these, the load dispatch
// turns them into its failure result.
#include <stdexcept>
#include <string>

namespace qm {

// Data that is no valid picture of its format (or a decoder's own report).
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A bad magic number or tag.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A read past the end of the data.
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

}  // namespace qm
