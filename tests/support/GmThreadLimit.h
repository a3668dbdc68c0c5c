#pragma once
// Holds GraphicsMagick to a number of threads for the life of the object, as
// OMP_NUM_THREADS=n holds it for a whole run: the library then keeps per-thread state
// for n threads only (and this thread's OpenMP teams have n threads).
#include <magick/api.h>

#include "document/Resample.h"

namespace qm::test {

class GmThreadLimit {
 public:
  explicit GmThreadLimit(int threads) {
    EnsureGraphicsMagick();
    old_ = GetMagickResourceLimit(ThreadsResource);
    SetMagickResourceLimit(ThreadsResource, threads);
  }
  ~GmThreadLimit() { SetMagickResourceLimit(ThreadsResource, old_); }
  GmThreadLimit(const GmThreadLimit&) = delete;
  GmThreadLimit& operator=(const GmThreadLimit&) = delete;

 private:
  magick_int64_t old_;
};

}  // namespace qm::test
