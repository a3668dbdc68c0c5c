#pragma once
// The run of a batch over its files, on several threads: workers load each file,
// run the chain (BatchPipeline.h) and save the result under a temporary name in the
// export folder, each with its own load and save requests; the calling thread (the GUI
// thread) takes the results in the order of the list, gives each its name (a rename),
// its date, and hands it to the host to show, keeping the host's window alive in
// between. A stop (the host's, or the tenth failure in the list's order) leaves no
// temporary file: the files written, their names and the report are those of a run on
// one thread, whatever the number of threads. An output replaces no picture of the run
// but its own source (a run in place): a name that is another source (before or after
// its turn, saved or failed) or an output written earlier fails the file and keeps
// what the name holds.
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/batch/BatchPipeline.h"
#include "devices/batch/BatchSettings.h"
#include "dialogs/copyright/CopyrightStamp.h"
#include "imagefiles/FileDispatch.h"
#include "platform/core/Bitmap.h"

namespace qm {

// The run stops at this failure.
constexpr int kBatchMaxFailures = 10;

// Everything a run reads, taken on the calling thread before it starts.
struct TBatchJob {
  TBatchSettings Settings;
  std::vector<std::string> Files;  // the names listed, in the run's order (in the source folder)
  TBatchPattern Pattern;           // loaded once for the run
  // The stamp's settings, when each output is stamped; KeepFileDate dates <#d> by
  // the output's file as it stood before the run.
  std::optional<TCopyrightSettings> Stamp;
  bool StampKeepsFileDate = false;
  // The requests every file's load and save start from (their events and error hooks
  // empty: they run on the workers). Each save copies the EXIF data of its own source
  // when KeepExif is on.
  TLoadRequest Load;
  TSaveRequest Save;
  bool KeepFileDate = false;  // an output takes its source's date
  int Threads = 0;            // workers; 0: EngineThreads()
};

// A file's output as the run hands it to the host: the image as saved (24-bit again),
// its resolution and where it came from.
struct TBatchOutput {
  std::string Source;  // the source file's path
  std::string Target;  // the output file's path
  TBitmap Image;
  double Resolution = 72;
  std::time_t SourceDate = 0;
};

// The calling thread's side of a run.
class TBatchRunHost {
 public:
  virtual ~TBatchRunHost() = default;
  // Before the file at index (from 1) of count is taken.
  virtual void Starting(int index, int count) = 0;
  // The output of the file listed as name has its name: the host shows it (it may take
  // the image).
  virtual void Saved(int index, const std::string& name, TBatchOutput& output) = 0;
  // Processes what the user did meanwhile (their keys among it); true stops the run.
  virtual bool Poll() = 0;
};

// Why a file failed.
enum class TBatchFault {
  Failed,        // it could not be read, processed or written
  OtherSource,   // its output's name is another source of the run, kept as it was
  WrittenInRun,  // its output's name was written earlier in the run, kept as it was
};

struct TBatchReport {
  std::vector<std::string> Saved, Failed;  // the names listed, in the list's order
  // Beside Failed: why each failed, and the bare name its output would have taken.
  std::vector<TBatchFault> Faults;
  std::vector<std::string> RefusedNames;
  bool Completed = false;                  // every file saved or failed, without a stop
  // The longest time the calling thread spent between two polls, in seconds.
  double LongestPollGap = 0;
};

// Runs the job; the host's calls come on the calling thread. Never throws.
TBatchReport RunBatchFiles(const TBatchJob& job, TBatchRunHost& host);

// The full path of an output: the export folder and the output's bare name.
std::string BatchTargetPath(const TBatchSettings& s, const std::string& listedName, int index);

// Whether a file's name is that of an output a run writes before it names it (one a
// run that died left behind): never a source of a run.
bool IsBatchTempName(const std::string& name);

}  // namespace qm
