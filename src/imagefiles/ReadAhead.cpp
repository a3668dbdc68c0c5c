#include "imagefiles/ReadAhead.h"

#include <sys/stat.h>

#include <exception>
#include <system_error>
#include <utility>

#include "imagefiles/FormatProbes.h"

namespace qm {

TPictureReadAhead::~TPictureReadAhead() { Join(); }

void TPictureReadAhead::Join() {
  if (thread_.joinable()) thread_.join();
}

TPictureReadAhead::TFileStamp TPictureReadAhead::StampOf(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return {};
  return TFileStamp{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
                    static_cast<long long>(st.st_size),
                    static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

void TPictureReadAhead::Start(const std::string& fileName, const TPictureLimit& limit) {
  Drop();
  if (fileName.empty()) return;
  stamp_ = StampOf(fileName);
  if (stamp_.Size < 0) return;
  reader_ = FileFormatList().ReaderFor(LowerExt(fileName));
  // Only our own JPEG decoder runs beside the start: the other readers may call on
  // libraries the start sets up on its own thread.
  if (!reader_ || !reader_->Read || reader_->Object != TFileObject::Jpeg) {
    reader_.reset();
    return;
  }
  limit_ = limit;
  failed_ = false;
  picture_ = TLoadedPicture{};
  try {
    thread_ = std::thread([this, fileName] {
      try {
        reader_->Read(fileName, TReadRequest{false, limit_}, picture_);
      } catch (...) {
        failed_ = true;  // the load reads the file again, and says why it fails
      }
    });
  } catch (const std::system_error&) {
    reader_.reset();  // no thread to be had: the file is read when it is opened
  }
}

bool TPictureReadAhead::Take(const std::string& fileName, const TGraphicClass* reader, const TReadRequest& request,
                             TLoadedPicture& picture) {
  if (!reader_ || StampOf(fileName) != stamp_) return false;
  Join();
  const bool usable = !failed_ && reader == reader_.get() && !request.Preview &&
                      request.Limit.MaxBytes == limit_.MaxBytes && StampOf(fileName) == stamp_;
  if (usable) picture = std::move(picture_);
  Drop();
  return usable;
}

void TPictureReadAhead::Drop() {
  Join();
  reader_.reset();
  stamp_ = TFileStamp{};
  picture_ = TLoadedPicture{};
}

}  // namespace qm
