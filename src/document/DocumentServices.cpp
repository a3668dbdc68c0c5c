#include "document/DocumentServices.h"

#include <algorithm>
#include <atomic>

namespace qm {
namespace {
std::atomic<TDocumentServices*> g_services{nullptr};
}  // namespace

void SetDocumentServices(TDocumentServices* services) { g_services = services; }
TDocumentServices* DocumentServices() { return g_services; }

int NewDocumentHistoryCapacity() {
  const TDocumentServices* s = g_services;
  if (!s) return kDefaultHistoryCapacity;
  return std::clamp(s->HistoryCapacity(), kMinHistoryCapacity, kMaxHistoryCapacity);
}

}  // namespace qm
