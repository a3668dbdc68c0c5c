#pragma once
// The hints of the main window's tool buttons (ToolBar1 to ToolBar3), built from the
// menu captions as they stand once captioned: a translation reaches them, and without
// one they come from the French captions.
namespace qm {

class TCommandSet;

// Each button's hint is the cleaned caption of the command it runs ("Nouveau..." gives
// "Nouveau"), with its shortcut's key after it in square brackets ("Nouveau [Ctrl+N]");
// the zoom buttons name the keys "+", "-", "0" and "1" that zoom. The brightness,
// contrast, saturation and gamma buttons split the captions of their dialogs' commands
// at their first "/" ("Luminosité / Contraste..." gives "Luminosité (-)" and
// "Contraste (+)"). The undo and redo buttons name their steps and are left to the
// window's history captions. Set on the commands' actions, so a button keeps its hint
// whatever state its action goes through.
void SetMainToolButtonHints(TCommandSet& commands);

}  // namespace qm
