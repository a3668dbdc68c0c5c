#pragma once
// The one message box, reachable from every layer. The shell installs the dialog at
// start-up; until then (and in headless tests) messages go to the standard error
// stream and the default answer is taken.
#include <functional>
#include <string>

namespace qm {

// Message types, button bits and results of ShowMessageDialog.
enum TMsgType : int { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtApplication = 4 };
enum TMsgButtons : int { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
enum TMsgResult : int { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

using TMessageHandler =
    std::function<int(const std::string& text, TMsgType type, int buttons, const std::string& title)>;

// Shows a message and returns the button chosen (a TMsgResult); buttons is a mask of
// TMsgButtons.
int ShowMessageDialog(const std::string& text, TMsgType type, int buttons, const std::string& title = {});
// Installs the handler (an empty one restores the default).
void SetMessageHandler(TMessageHandler handler);

}  // namespace qm
