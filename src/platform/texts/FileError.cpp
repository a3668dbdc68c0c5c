#include "platform/texts/FileError.h"

#include <cstdio>

#include "platform/core/Messages.h"
#include "platform/texts/Format.h"

namespace qm {

std::string FileErrorText(const TFileError& error) {
  if (!error) return {};
  if (!IsFormatEntry(*error.Message)) return Tr(*error.Message);
  const auto n = [&](size_t i) -> int64_t { return i < error.Numbers.size() ? error.Numbers[i] : 0; };
  return Format(*error.Message, {error.FileName, n(0), n(1), n(2), n(3)});
}

void ShowFileError(const TFileError& error) {
  if (error) ShowMessageDialog(FileErrorText(error), mtError, mbOK);
}

void LogFileError(const TFileError& error) {
  if (!error || error.Reason.empty()) return;
  std::fprintf(stderr, "%s: %s\n", error.FileName.empty() ? "(memory)" : error.FileName.c_str(),
               error.Reason.c_str());
}

void LogFileWarnings(const std::string& fileName, const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings) std::fprintf(stderr, "%s: warning: %s\n", fileName.c_str(), w.c_str());
}

}  // namespace qm
