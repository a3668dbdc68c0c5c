#pragma once
// The plug-in host: the filter plug-ins ("*.qxl", FilterPluginApi.h) of the plug-in
// folders, read once at start, each loaded for one run or one about box on the shell's
// active document; and the Photoshop-format .8bf filters of the 8bf folder, listed and
// run through the bridge module "8bf.qxl" (Bridge8bfApi.h) when a plug-in folder holds
// one.
//
// One module at a time: while one is loaded, a second run, about box or .8bf filter is
// refused. While a module is loaded, closes of the main window and of the documents
// wait for it to return.
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "extensions/PluginModule.h"
#include "shell/commands/PluginCommands.h"

namespace qm {

class TShellServices;
class TPlgDlgForm;

class TQxlPluginHost : public TPluginHost {
 public:
  TQxlPluginHost(TShellServices& services, TPluginSetup setup);
  ~TQxlPluginHost() override;

  // The plug-ins of the setup's folders and their sub-folders: every module whose
  // description is ours and whose type is 0 to 4, in name order (the user's collation,
  // the case ignored). A file reached from two folders is read once. Returns their
  // number.
  int LoadPlugins();
  // The .8bf filters of the setup's 8bf folder, when the bridge is there. Returns their
  // number.
  int Load8bfFilters();
  // The bridge found in the plug-in folders, empty for none.
  const std::string& BridgeFile() const { return bridge_; }

  const std::vector<TPluginEntry>& Plugins() const override { return plugins_; }
  const std::vector<T8bfEntry>& Filters8bf() const override { return filters8bf_; }
  bool RunPlugin(const TPluginEntry& entry, TLayerRun* change) override;
  void ShowPluginAbout(const TPluginEntry& entry) override;
  bool Run8bfFilter(const T8bfEntry& entry, bool rgba) override;
  bool IsPluginLoaded() const override { return module_.Loaded(); }
  bool Is8bfModulePresent() const override { return !bridge_.empty(); }
  void SendPluginColorPick(TColor color) override;
  void SendPluginPointClick(TPoint imagePoint, int button) override;

  // The host's about box, once made (tests look at it).
  TPlgDlgForm* AboutForm() const;

 private:
  TShellServices& services_;
  TPluginSetup setup_;
  std::vector<TPluginEntry> plugins_;
  std::vector<T8bfEntry> filters8bf_;
  std::string bridge_;
  TPluginModule module_;
  bool running8bf_ = false;
  QPointer<TPlgDlgForm> about_;
};

// The program's plug-in host over the shell's services, its plug-ins and .8bf filters
// read from the setup's folders. The program's start hands it to the main window.
std::unique_ptr<TPluginHost> MakeProgramPluginHost(TShellServices& services, const TPluginSetup& setup);

}  // namespace qm
