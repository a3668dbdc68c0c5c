#include "dialogs/DialogRegistry.h"

#include <algorithm>
#include <utility>

namespace qm {

const TDialogRegistry::TEntry* TDialogRegistry::Find(std::string_view name) const {
  const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const TEntry& e) { return e.Name == name; });
  return it == entries_.end() ? nullptr : &*it;
}

void TDialogRegistry::Register(const std::string& className, TDialogKind kind, TDialogOpener opener,
                               TDialogFreer freer) {
  TEntry entry{className, kind, std::move(opener), std::move(freer)};
  if (auto* e = const_cast<TEntry*>(Find(className))) *e = std::move(entry);
  else entries_.push_back(std::move(entry));
}

bool TDialogRegistry::HasDialog(std::string_view className) const { return Find(className) != nullptr; }

bool TDialogRegistry::OpenDialog(TDialogHost& host, std::string_view className, const TDialogRequest& request) {
  const TEntry* e = Find(className);
  // a copy: an opener may register further dialogs while it runs
  const TDialogOpener open = e ? e->Open : TDialogOpener();
  return open && open(host, request);
}

void TDialogRegistry::FreeDialog(std::string_view className) {
  const TEntry* e = Find(className);
  if (e && e->Free) e->Free();
}

std::vector<std::string> TDialogRegistry::Names() const {
  std::vector<std::string> names;
  for (const TEntry& e : entries_) names.push_back(e.Name);
  return names;
}

std::optional<TDialogKind> TDialogRegistry::KindOf(std::string_view className) const {
  const TEntry* e = Find(className);
  return e ? std::optional<TDialogKind>(e->Kind) : std::nullopt;
}

}  // namespace qm
