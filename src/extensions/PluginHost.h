#pragma once
// The plug-in host: the filter plug-ins ("*.qxl", FilterPluginApi.h) of a folder, read
// once at start and loaded around each run on the shell's active document.
//
// Photoshop-format .8bf filters are Windows programs and need a bridge module that
// does not exist on this platform: the host lists none and reports the bridge absent,
// so their commands stay disabled.
#include <memory>
#include <string>
#include <vector>

#include "shell/commands/PluginCommands.h"

namespace qm {

class TShellServices;

class TQxlPluginHost : public TPluginHost {
 public:
  explicit TQxlPluginHost(TShellServices& services) : services_(services) {}

  // Reads the description of every "*.qxl" of the folder (in name order); modules that
  // are not filter plug-ins (the RAW decoder lives there too) or whose records are not
  // ours are skipped. Returns the number of plug-ins.
  int LoadPlugins(const std::string& folder);

  const std::vector<TPluginEntry>& Plugins() const override { return plugins_; }
  const std::vector<T8bfEntry>& Filters8bf() const override { return filters8bf_; }
  bool RunPlugin(const TPluginEntry& entry) override;
  void ShowPluginAbout(const TPluginEntry& entry) override;
  bool Run8bfFilter(const T8bfEntry& entry, bool rgba) override;
  bool IsPluginLoaded() const override { return loaded_; }
  bool Is8bfModulePresent() const override { return false; }

 private:
  TShellServices& services_;
  std::vector<TPluginEntry> plugins_;
  std::vector<T8bfEntry> filters8bf_;
  bool loaded_ = false;
};

// The program's plug-in host over the shell's services, its plug-ins read from folder
// (none when folder is empty). The program's start hands it to the main window.
std::unique_ptr<TPluginHost> MakeProgramPluginHost(TShellServices& services, const std::string& folder);

}  // namespace qm
