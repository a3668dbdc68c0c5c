#include "devices/batch/BatchRun.h"

#include <omp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "imagefiles/FormatProbes.h"
#include "platform/core/Parallel.h"
#include "platform/core/Random.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/FileUtils.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

// The longest the calling thread waits for a result before it polls again: the window
// stays alive, and a key is seen within a frame or two.
constexpr auto kPollInterval = std::chrono::milliseconds(15);

// The path as the file system resolves it (folders and links), for comparing names.
std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::path(path), ec);
  return ec ? fs::absolute(fs::path(path), ec).lexically_normal().string() : p.string();
}

// The outputs' names before they take their own.
constexpr char kTempPrefix[] = ".~batch-";

// A directory entry as the file system knows it: two names of one file (another case
// on a folder that ignores it, a hard link) are one entry. Zero for none.
struct TFileId {
  dev_t Dev = 0;
  ino_t Ino = 0;
  bool operator==(const TFileId&) const = default;
  auto operator<=>(const TFileId&) const = default;
  explicit operator bool() const { return Ino != 0; }
};

TFileId IdOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  return {st.st_dev, st.st_ino};
}

void RemoveFile(const std::string& path) {
  std::error_code ec;
  if (!path.empty()) fs::remove(path, ec);
}

// A file's way through a worker, and what it left.
struct TSlot {
  bool Ready = false;
  bool Done = false;      // saved under Temp
  std::string Temp;       // written, not yet renamed
  TBatchOutput Output;
};

class TBatchRunner {
 public:
  TBatchRunner(const TBatchJob& job, TBatchRunHost& host) : job_(job), host_(host), slots_(job.Files.size()) {
    const TBatchSettings& s = job_.Settings;
    const std::string source = AddTrailingBackslash(s.SourceFolder);
    for (size_t i = 0; i < job_.Files.size(); ++i) {
      const int index = int(i) + 1;
      sources_.push_back(source + job_.Files[i]);
      targets_.push_back(BatchTargetPath(s, job_.Files[i], index));
      resolvedSources_.push_back(ResolvedPath(sources_.back()));
      sourcePaths_.emplace(resolvedSources_.back(), i);
      if (const TFileId id = IdOf(sources_.back())) sourceIds_.emplace(id, i);
      // <#d> dates an output by the file its name held before the run (or today).
      if (job_.Stamp) stampDates_.push_back(CopyrightDate(targets_.back(), job_.StampKeepsFileDate));
    }
    tempStem_ = AddTrailingBackslash(s.ExportFolder) + kTempPrefix + std::to_string(::getpid()) + "-" +
                std::to_string(TClock::now().time_since_epoch().count() % 1000000007) + "-";
  }

  TBatchReport Run() {
    const int count = int(job_.Files.size());
    if (count == 0) return report_;
    const int threads = std::clamp(job_.Threads > 0 ? job_.Threads : EngineThreads(), 1, count);
    window_ = 2 * threads;
    std::vector<std::thread> workers;
    const int engine = EngineThreads();
    try {
      for (int t = 0; t < threads; ++t) workers.emplace_back([this, threads, engine] { Work(threads > 1, engine); });
    } catch (const std::system_error&) {
      if (workers.empty()) {
        report_.Failed = job_.Files;
        report_.Faults.assign(job_.Files.size(), TBatchFault::Failed);
        report_.RefusedNames.assign(job_.Files.size(), std::string());
        return report_;
      }
    }
    lastPoll_ = TClock::now();
    bool stopped = false;
    try {
      for (int i = 0; i < count && !stopped; ++i) {
        host_.Starting(i + 1, count);
        if (!WaitFor(i)) {
          stopped = true;
          break;
        }
        stopped = Commit(i);
        {
          std::lock_guard<std::mutex> g(lock_);
          ++committed_;
        }
        workToDo_.notify_all();
        // The last poll of a file: a stop asked here keeps the file saved.
        if (!stopped && Poll()) stopped = true;
      }
    } catch (...) {
      // What the host's window threw while it was kept alive ends the run, as a stop.
      stopped = true;
    }
    Stop(workers);
    report_.Completed = !stopped;
    return report_;
  }

 private:
  // --- The calling thread ---------------------------------------------------------

  bool Poll() {
    const TClock::time_point start = TClock::now();
    report_.LongestPollGap = std::max(report_.LongestPollGap, std::chrono::duration<double>(start - lastPoll_).count());
    const bool stop = host_.Poll();
    lastPoll_ = TClock::now();
    return stop;
  }

  // Waits for the file's result, polling meanwhile (at least once: a stop asked while
  // the file is announced keeps it from being saved, however early its result came);
  // false when a poll stops the run.
  bool WaitFor(int i) {
    for (;;) {
      if (Poll()) return false;
      std::unique_lock<std::mutex> g(lock_);
      if (resultReady_.wait_for(g, kPollInterval, [&] { return slots_[size_t(i)].Ready; })) return true;
    }
  }

  // Names the file's output, or lists the file as failed; true when the run stops.
  bool Commit(int i) {
    TSlot slot;
    {
      std::lock_guard<std::mutex> g(lock_);
      slot = std::move(slots_[size_t(i)]);
      slots_[size_t(i)].Temp.clear();
    }
    const std::string& name = job_.Files[size_t(i)];
    const std::string& target = targets_[size_t(i)];
    const std::optional<TBatchFault> fault = slot.Done ? Rename(i, slot.Temp) : TBatchFault::Failed;
    if (!fault) {
      written_.insert(ResolvedPath(target));
      if (const TFileId id = IdOf(target)) writtenIds_.insert(id);
      if (job_.KeepFileDate && slot.Output.SourceDate > 0) SetFileDateByName(target, slot.Output.SourceDate);
      report_.Saved.push_back(name);
      try {
        host_.Saved(i + 1, name, slot.Output);
      } catch (...) {
        // The file is written: what the window could not show changes nothing of it.
      }
      return false;
    }
    RemoveFile(slot.Temp);
    report_.Failed.push_back(name);
    report_.Faults.push_back(*fault);
    report_.RefusedNames.push_back(*fault == TBatchFault::Failed ? std::string() : ExtractFileName(target));
    return int(report_.Failed.size()) >= kBatchMaxFailures;
  }

  // The output takes its name, unless that name holds another picture of the run: the
  // source of any other file, whatever its turn or its outcome, or an output written
  // earlier in the run. Only the file's own source may be replaced (a run in place).
  // Nothing when it took the name, else why not.
  std::optional<TBatchFault> Rename(int i, const std::string& temp) {
    const std::string& target = targets_[size_t(i)];
    const std::string resolved = ResolvedPath(target);
    const TFileId id = IdOf(target);
    if (written_.count(resolved) || (id && writtenIds_.count(id))) return TBatchFault::WrittenInRun;
    const auto other = [i](const auto& range) {
      return std::any_of(range.first, range.second, [i](const auto& e) { return e.second != size_t(i); });
    };
    if (other(sourcePaths_.equal_range(resolved))) return TBatchFault::OtherSource;
    // The same entry under another name (another case where the folder ignores it):
    // the file's own source, or another one.
    if (id && resolved != resolvedSources_[size_t(i)] && other(sourceIds_.equal_range(id)))
      return TBatchFault::OtherSource;
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) return TBatchFault::Failed;
    return std::nullopt;
  }

  void Stop(std::vector<std::thread>& workers) {
    {
      std::lock_guard<std::mutex> g(lock_);
      stop_ = true;
    }
    workToDo_.notify_all();
    for (std::thread& t : workers) t.join();
    // What the workers wrote beyond the stop never takes a name.
    for (TSlot& slot : slots_) RemoveFile(slot.Temp);
  }

  // --- The workers ------------------------------------------------------------------

  void Work(bool solo, int threads) {
    // Beside others, a worker keeps to its own thread; alone, its kernels and the
    // library's teams take the threads the caller's would (a new thread's OpenMP limit
    // is the process's default, not the caller's).
    std::optional<TSoloThreadScope> held;
    if (solo) held.emplace();
    else omp_set_num_threads(threads);
    std::unique_lock<std::mutex> g(lock_);
    for (;;) {
      workToDo_.wait(g, [&] { return stop_ || next_ >= int(slots_.size()) || next_ < committed_ + window_; });
      if (stop_ || next_ >= int(slots_.size())) return;
      const int i = next_++;
      g.unlock();
      TSlot slot;
      Process(i, slot);
      g.lock();
      slot.Ready = true;
      slots_[size_t(i)] = std::move(slot);
      resultReady_.notify_all();
    }
  }

  bool Stopping() {
    std::lock_guard<std::mutex> g(lock_);
    return stop_;
  }

  void Process(int i, TSlot& slot) {
    const TBatchSettings& s = job_.Settings;
    TBatchOutput& out = slot.Output;
    out.Source = sources_[size_t(i)];
    out.Target = targets_[size_t(i)];
    try {
      // Each file draws its own noise, whichever thread takes it.
      RandSeed(BatchNoiseSeed(i + 1));
      out.SourceDate = GetFileDateByName(out.Source);
      TLoadResult loaded = LoadPicture(out.Source, job_.Load);
      if (loaded.Result != frDone) return;
      TBitmap& bmp = out.Image;
      bmp = std::move(loaded.Bitmap);
      bmp.Transparent = false;
      bmp.SetPixelFormat(pf24bit);
      out.Resolution = GetFileResolution(out.Source);
      if (!RunBatchChain(bmp, s, job_.Pattern, [this] { return Stopping(); })) return;
      if (s.ForceDpi) out.Resolution = s.Dpi;
      TBatchStamp stamp;
      if (job_.Stamp) stamp = TBatchStamp{&*job_.Stamp, out.Target, stampDates_[size_t(i)]};
      FinishBatchImage(bmp, s, stamp);
      if (Stopping()) return;
      slot.Temp = tempStem_ + std::to_string(i + 1) + GetOutputExtension(s.OutputFormat);
      TSaveRequest request = job_.Save;
      request.OnExifSource = [source = out.Source](std::string& name) { name = source; };
      if (SavePicture(slot.Temp, bmp, request).Result != frDone) {
        RemoveFile(slot.Temp);
        slot.Temp.clear();
        return;
      }
      SetFileResolution(slot.Temp, out.Resolution);
      // Shown as the document's 24-bit layer.
      bmp.SetPixelFormat(pf24bit);
      slot.Done = true;
    } catch (...) {
      // A file the chain cannot finish (out of memory, among others) fails alone.
      slot.Done = false;
    }
  }

  const TBatchJob& job_;
  TBatchRunHost& host_;
  std::vector<std::string> sources_, targets_, resolvedSources_, stampDates_;
  std::string tempStem_;
  // The sources by their resolved paths and their entries, with their places.
  std::multimap<std::string, size_t> sourcePaths_;
  std::multimap<TFileId, size_t> sourceIds_;
  // What the run named so far.
  std::set<std::string> written_;
  std::set<TFileId> writtenIds_;
  TBatchReport report_;
  TClock::time_point lastPoll_;

  std::mutex lock_;
  std::condition_variable workToDo_, resultReady_;
  std::vector<TSlot> slots_;
  int next_ = 0;       // the next file a worker takes
  int committed_ = 0;  // the files the calling thread is done with
  int window_ = 2;     // how far the workers may run ahead of it
  bool stop_ = false;
};

}  // namespace

std::string BatchTargetPath(const TBatchSettings& s, const std::string& listedName, int index) {
  return AddTrailingBackslash(s.ExportFolder) + BatchOutputName(s, listedName, index);
}

bool IsBatchTempName(const std::string& name) { return name.rfind(kTempPrefix, 0) == 0; }

TBatchReport RunBatchFiles(const TBatchJob& job, TBatchRunHost& host) {
  TBatchRunner runner(job, host);
  return runner.Run();
}

}  // namespace qm
