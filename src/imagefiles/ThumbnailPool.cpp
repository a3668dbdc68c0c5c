#include "imagefiles/ThumbnailPool.h"

#include <algorithm>

#include "imagefiles/FileSearch.h"
#include "platform/core/Parallel.h"

namespace qm {

TThumbnailPool::TThumbnailPool(int threads, const TThumbnailCache* cache) : cache_(cache) {
  if (threads < 1) threads = std::clamp(EngineThreads(), 1, 8);
  for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

TThumbnailPool::~TThumbnailPool() {
  Cancel();
  {
    std::lock_guard<std::mutex> g(lock_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void TThumbnailPool::StopWalker() {
  if (walker_.joinable()) walker_.join();
}

void TThumbnailPool::Cancel() {
  {
    std::lock_guard<std::mutex> g(lock_);
    ++scan_;
    queue_.clear();
  }
  StopWalker();
  std::unique_lock<std::mutex> g(lock_);
  idle_.wait(g, [this] { return running_ == 0; });
  request_ = TScanRequest{};
}

uint64_t TThumbnailPool::Start(TScanRequest request) {
  Cancel();
  uint64_t scan;
  {
    std::lock_guard<std::mutex> g(lock_);
    scan = ++scan_;
    request_ = std::move(request);
    walking_ = true;
  }
  walker_ = std::thread([this, scan] {
    int found = 0;
    const bool current = FindFilesWithCallback(
        request_.Folder, request_.Masks, request_.Recurse, [&](const std::string& folder, const std::string& name) {
          {
            std::lock_guard<std::mutex> g(lock_);
            if (scan_ != scan) return false;
            queue_.push_back(TJob{scan, found++, folder + name});
          }
          wake_.notify_one();
          return true;
        });
    bool done;
    {
      std::lock_guard<std::mutex> g(lock_);
      walking_ = false;
      done = current && scan_ == scan;
    }
    idle_.notify_all();
    if (done && request_.WalkDone) request_.WalkDone(found);
  });
  return scan;
}

void TThumbnailPool::WorkerLoop() {
  std::unique_lock<std::mutex> g(lock_);
  for (;;) {
    wake_.wait(g, [this] { return quit_ || !queue_.empty(); });
    if (quit_) return;
    TJob job = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    g.unlock();
    TScannedFile file;
    file.Index = job.Index;
    file.FileName = std::move(job.FileName);
    file.Ok = MakeThumbnail(file.FileName, cache_, file.Thumb, &file.Stamp);
    g.lock();
    // The scan may have been cancelled meanwhile; Cancel waits for this delivery, so
    // request_ is still the scan's.
    if (job.Scan == scan_ && request_.Deliver) {
      g.unlock();
      request_.Deliver(std::move(file));
      g.lock();
    }
    --running_;
    idle_.notify_all();
  }
}

bool TThumbnailPool::Busy() const {
  std::lock_guard<std::mutex> g(lock_);
  return walking_ || !queue_.empty() || running_ > 0;
}

void TThumbnailPool::Wait() {
  std::unique_lock<std::mutex> g(lock_);
  idle_.wait(g, [this] { return !walking_ && queue_.empty() && running_ == 0; });
}

}  // namespace qm
