#pragma once
// A picture read ahead on a thread of its own: the program's start reads the first file
// of its command line while the main window is made, and the window's open of that file
// then takes the picture instead of reading the file again. The stages of the load
// (the shell's checks before and after) still run on the caller's thread, in their
// order; only the reader's work moves.
//
// A read ahead is taken by a full (not preview) load of the same file (under any name
// of it), by the same reader, under the same limit, while the file is as it was when
// the read began (its size and time); anything else reads the file as usual. A failure of the read ahead
// is not reported: the load reads the file again and reports its own. Start, Take and
// Drop are called from one thread.
#include <memory>
#include <string>
#include <thread>

#include "imagefiles/FormatRegistry.h"

namespace qm {

class TPictureReadAhead {
 public:
  TPictureReadAhead() = default;
  // Waits for a read still running.
  ~TPictureReadAhead();
  TPictureReadAhead(const TPictureReadAhead&) = delete;
  TPictureReadAhead& operator=(const TPictureReadAhead&) = delete;

  // Starts reading the file with the reader its extension has now, when that is the
  // JPEG reader (nothing otherwise); what an earlier start read is dropped.
  void Start(const std::string& fileName, const TPictureLimit& limit = {});
  // The picture of the file as reader would read it for the request, once the read
  // ahead is over: true when it was taken (it is then no longer held).
  bool Take(const std::string& fileName, const TGraphicClass* reader, const TReadRequest& request,
            TLoadedPicture& picture);
  // Forgets the picture (waiting for the read first): a start whose file was not
  // opened keeps no memory for it.
  void Drop();

 private:
  struct TFileStamp {
    unsigned long long Device = 0, Inode = 0;
    long long Size = -1, Time = 0;
    bool operator==(const TFileStamp&) const = default;
  };
  static TFileStamp StampOf(const std::string& fileName);
  void Join();

  std::thread thread_;
  std::shared_ptr<const TGraphicClass> reader_;
  TPictureLimit limit_;
  TFileStamp stamp_;
  bool failed_ = false;  // (written by the thread, read once it is joined)
  TLoadedPicture picture_;
};

}  // namespace qm
