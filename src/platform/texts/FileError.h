#pragma once
// A failure to read or write a file, as the layer that met it hands it up: which
// message of the text table tells the user, the file the message names, and what the
// library said. Readers and writers never show a message themselves (they may run on
// any thread); the layer that shows messages formats it and shows it, on the GUI
// thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/texts/UiTexts.h"

namespace qm {

struct TFileError {
  std::optional<TextId> Message;  // empty: no failure
  std::string FileName;           // fills the message's "%s"
  std::string Reason;             // the library's own words, for diagnosis; never translated
  std::vector<int64_t> Numbers;   // the message's further arguments, after the file name

  explicit operator bool() const { return Message.has_value(); }
};

// The message as the user reads it: the entry's current text, formatted with the file
// name and the numbers when it is a format entry. Empty when there is no failure. GUI
// thread (it reads the text table).
std::string FileErrorText(const TFileError& error);

// Shows the message in the message dialog (error type, OK button). Does nothing
// without a failure. GUI thread only.
void ShowFileError(const TFileError& error);
// Writes the file name and the reason to the standard error stream (any thread).
void LogFileError(const TFileError& error);
// Writes the file name and each warning a library gave of a file it still read whole
// (any thread).
void LogFileWarnings(const std::string& fileName, const std::vector<std::string>& warnings);

}  // namespace qm
