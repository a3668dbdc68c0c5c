#include "platform/texts/FileError.h"

#include <cstdio>

#include "platform/core/Messages.h"
#include "platform/texts/Format.h"

namespace qm {

std::string FileErrorText(const TFileError& error) {
  if (!error) return {};
  return IsFormatEntry(*error.Message) ? Format(*error.Message, {error.FileName}) : Tr(*error.Message);
}

void ShowFileError(const TFileError& error) {
  if (error) ShowMessageDialog(FileErrorText(error), mtError, mbOK);
}

void LogFileError(const TFileError& error) {
  if (!error || error.Reason.empty()) return;
  std::fprintf(stderr, "%s: %s\n", error.FileName.empty() ? "(memory)" : error.FileName.c_str(),
               error.Reason.c_str());
}

}  // namespace qm
