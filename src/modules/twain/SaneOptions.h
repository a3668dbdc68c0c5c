#pragma once
// The few SANE options our sources show and keep (scan mode, bit depth, resolution,
// document source), read and written by name, values as text. Every function runs on
// the thread that owns the device.
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <string>
#include <vector>

namespace qm::twaindsm {

extern const char* const kOptionMode;        // "mode"
extern const char* const kOptionDepth;       // "depth"
extern const char* const kOptionResolution;  // "resolution"
extern const char* const kOptionSource;      // "source"

struct TSaneChoice {
  std::string Name;
  bool Usable = false;  // present, active and settable by software
  std::string Current;
  // The values it takes: a list's entries, or for a range its common values (75, 100,
  // 150 ... dpi) that fall inside, the current one included.
  std::vector<std::string> Values;
};

TSaneChoice ReadSaneChoice(SANE_Handle device, const std::string& name);
// Sets a usable option from its text; the device may round it.
SANE_Status WriteSaneChoice(SANE_Handle device, const std::string& name, const std::string& value);
// The resolution in dots per inch (0 when the device has none).
double ReadSaneResolution(SANE_Handle device);

// A number option's text as a value, whatever the locale.
double SaneNumber(const std::string& text);

// True when a document source names a feeder ("Automatic Document Feeder", "ADF Duplex").
bool IsFeederSource(const std::string& source);

}  // namespace qm::twaindsm
