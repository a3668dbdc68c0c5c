#include "platform/core/Messages.h"

#include <cstdio>

namespace qm {
namespace {
TMessageHandler& Handler() {
  static TMessageHandler h;
  return h;
}

// Without a dialog: the first button of OK, Yes, Cancel, No that the mask offers.
int DefaultAnswer(int buttons) {
  if (buttons & mbOK) return mrOk;
  if (buttons & mbYes) return mrYes;
  if (buttons & mbCancel) return mrCancel;
  if (buttons & mbNo) return mrNo;
  return mrOk;
}
}  // namespace

int ShowMessageDialog(const std::string& text, TMsgType type, int buttons, const std::string& title) {
  if (Handler()) return Handler()(text, type, buttons, title);
  std::fprintf(stderr, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", text.c_str());
  return DefaultAnswer(buttons);
}

void SetMessageHandler(TMessageHandler handler) { Handler() = std::move(handler); }

}  // namespace qm
