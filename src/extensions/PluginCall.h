#pragma once
// One call into a plug-in (its run or its about box): the host record it receives,
// filled for its level, and the callbacks behind the record, which reach the active
// document through the shell's services.
//
// The callbacks never throw and never show a message: a callback whose preconditions
// do not hold answers its refusal and changes nothing. Within a change of the shell's
// runner (a filter or image plug-in's run), what the callbacks write stays what the
// change's undo step gives back: a write beyond the step's rectangle widens the step
// from the copy taken before the change, and one the step cannot give back (another
// layer, a rectangle step's layer resized) is refused.
//
// The call ends (destructor) with every lock and busy state the plug-in left, its
// display-only mode switched off and a main window it hid or minimised shown again.
#include <memory>

#include "extensions/FilterPluginApi.h"
#include "shell/commands/PluginCommands.h"

class QWidget;

namespace qm {

class TShellServices;
struct TLayerRun;

class TPluginCall {
 public:
  // change: the runner's change the call runs in, null for a run without undo step
  // (import, export and tool plug-ins) and for an about box.
  TPluginCall(TShellServices& services, const TPluginSetup& setup, int level, TLayerRun* change);
  ~TPluginCall();
  TPluginCall(const TPluginCall&) = delete;
  TPluginCall& operator=(const TPluginCall&) = delete;

  // The record, filled; valid for the call's life.
  QxlPluginHost* Record();
  // The window the plug-in showed first through its callbacks, null for none.
  QWidget* PluginWindow() const;

  struct TState;

 private:
  std::unique_ptr<TState> d_;
};

}  // namespace qm
