#pragma once
// What the document model needs of the application shell. The shell installs its
// implementation at start-up; headless (tests, tools) the defaults below apply.

namespace qm {

class TDocumentServices {
 public:
  virtual ~TDocumentServices() = default;
  // How many steps the history of a new document keeps: the history preference.
  virtual int HistoryCapacity() const = 0;
};

// The installed services (null: none). The shell keeps the object alive.
void SetDocumentServices(TDocumentServices* services);
TDocumentServices* DocumentServices();

// Bounds and default of the history preference.
constexpr int kMinHistoryCapacity = 1, kMaxHistoryCapacity = 24, kDefaultHistoryCapacity = 12;
// The capacity for a new document's history: the installed preference cut to
// kMinHistoryCapacity..kMaxHistoryCapacity, or the default without services.
int NewDocumentHistoryCapacity();

}  // namespace qm
