#pragma once
// The program's dialogs by class name: the launcher the program's start fills and hands
// to the main window, whose command table opens a dialog by the class name its row
// gives (and enables the row only when that name is registered). Registering and
// opening happen on the GUI thread.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/services/DialogLauncher.h"

namespace qm {

class TDialogHost;

// Opens the dialog over the active document (the command has opened its undo step);
// false when it refused to open.
using TDialogOpener = std::function<bool(TDialogHost& host, const TDialogRequest& request)>;
// Frees the dialog's form unless it is shown.
using TDialogFreer = std::function<void()>;

class TDialogRegistry final : public TDialogLauncher {
 public:
  // A second registration under a name replaces the first.
  void Register(const std::string& className, TDialogKind kind, TDialogOpener opener, TDialogFreer freer = {});

  bool HasDialog(std::string_view className) const override;
  bool OpenDialog(TDialogHost& host, std::string_view className, const TDialogRequest& request) override;
  void FreeDialog(std::string_view className) override;

  // In the order of registration.
  std::vector<std::string> Names() const;
  std::optional<TDialogKind> KindOf(std::string_view className) const;

 private:
  struct TEntry {
    std::string Name;
    TDialogKind Kind;
    TDialogOpener Open;
    TDialogFreer Free;
  };
  const TEntry* Find(std::string_view name) const;
  std::vector<TEntry> entries_;
};

}  // namespace qm
