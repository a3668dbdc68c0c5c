#pragma once
// A small pool of threads that makes the thumbnails of a folder while the window that
// shows them stays responsive: a walker thread searches the folder (FileSearch.h) and
// queues every file it finds, in the order found; the workers take them in that order,
// make each thumbnail (MakeThumbnail: the cache first, else a reduced load) and hand
// it to the caller's delivery.
//
// One scan at a time: Start cancels the scan before it. Deliveries of a cancelled scan
// are never made once Cancel (or Start, or the destructor) has returned.
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imagefiles/ThumbnailCache.h"

namespace qm {

// One file of a scan, with its thumbnail when it could be read.
struct TScannedFile {
  int Index = 0;          // the order the walk found it in, from 0
  std::string FileName;   // full path
  bool Ok = false;        // false: the file could not be read (Thumb is empty)
  TThumbnail Thumb;
  TFileStamp Stamp;
};

struct TScanRequest {
  std::string Folder, Masks;
  bool Recurse = false;
  // Called on a worker thread, once per file found, in any order.
  std::function<void(TScannedFile&& file)> Deliver;
  // Called on the walker thread when the walk has ended, with the number of files it
  // found (the files still being made are delivered afterwards).
  std::function<void(int files)> WalkDone;
};

class TThumbnailPool {
 public:
  // threads < 1: EngineThreads(), at most 8. cache may be null (no cache);
  // it must outlive the pool.
  explicit TThumbnailPool(int threads = 0, const TThumbnailCache* cache = nullptr);
  ~TThumbnailPool();
  TThumbnailPool(const TThumbnailPool&) = delete;
  TThumbnailPool& operator=(const TThumbnailPool&) = delete;

  // Cancels the running scan and starts this one; returns its number.
  uint64_t Start(TScanRequest request);
  // Stops the running scan: the queue is dropped, the walk stops at its next file and
  // no delivery of it is made after this returns (one being made is waited for).
  void Cancel();
  // Whether files of the current scan are still being found or made.
  bool Busy() const;
  // Blocks until the current scan is done (tests and benchmarks).
  void Wait();
  int Threads() const { return int(workers_.size()); }

 private:
  struct TJob {
    uint64_t Scan;
    int Index;
    std::string FileName;
  };
  void WorkerLoop();
  void StopWalker();

  const TThumbnailCache* cache_;
  mutable std::mutex lock_;
  std::condition_variable wake_, idle_;
  std::deque<TJob> queue_;
  uint64_t scan_ = 0;
  int running_ = 0;       // jobs being made now
  bool walking_ = false;
  bool quit_ = false;
  TScanRequest request_;
  std::vector<std::thread> workers_;
  std::thread walker_;
};

}  // namespace qm
