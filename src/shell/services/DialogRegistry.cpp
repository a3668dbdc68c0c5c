#include "shell/services/DialogRegistry.h"

#include <algorithm>
#include <utility>

namespace qm {
namespace {

struct TEntry {
  std::string Name;
  TDialogOpener Open;
};

std::vector<TEntry>& Entries() {
  static std::vector<TEntry> entries;
  return entries;
}

TEntry* Find(std::string_view name) {
  std::vector<TEntry>& e = Entries();
  const auto it = std::find_if(e.begin(), e.end(), [&](const TEntry& x) { return x.Name == name; });
  return it == e.end() ? nullptr : &*it;
}

}  // namespace

void RegisterDialog(const std::string& className, TDialogOpener opener) {
  if (TEntry* e = Find(className)) e->Open = std::move(opener);
  else Entries().push_back({className, std::move(opener)});
}

bool IsDialogRegistered(std::string_view className) { return Find(className) != nullptr; }

QWidget* OpenDialog(std::string_view className, TShellServices& services, const TDialogCommand& command) {
  const TEntry* e = Find(className);
  // a copy: an opener may register further dialogs while it runs
  const TDialogOpener open = e ? e->Open : TDialogOpener();
  return open ? open(services, command) : nullptr;
}

std::vector<std::string> RegisteredDialogNames() {
  std::vector<std::string> names;
  for (const TEntry& e : Entries()) names.push_back(e.Name);
  return names;
}

}  // namespace qm
