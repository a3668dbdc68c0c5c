#pragma once
// The checks that refuse a command with a message before it starts, and the questions
// before an irreversible action and before a save in a format that loses part of the
// document. Messages go through the message box; a null image (no document) passes
// every check.
#include <string>

namespace qm {

class TLayeredImage;
class TLayerHost;
struct TFormatRow;

// True when the command may go on: the image has one layer only ("fusionner").
bool CheckLayersMerged(const TLayeredImage* image);
// True when the command must stop: some layer is a text layer ("convertir les textes").
bool CheckNoTextLayer(const TLayeredImage* image);
// True when the command may go on: the image has several layers.
bool CheckSeveralLayers(const TLayeredImage* image);
// True when the command must stop: a selection is shown but its working rectangle
// holds no pixel of the active layer ("Aucun pixel à traiter !").
bool CheckSelectionHasPixels(TLayerHost& host);
// True when the clipboard offers a picture.
bool CheckClipboardHasImage();
// True when the user answers Yes to "cannot be undone, continue?", titled title.
bool ConfirmIrreversibleAction(const std::string& title);
// True when the format written (null: none we know) keeps what the image holds, or the
// user agrees to lose it. One question at most: layers first, then the alpha channel
// (a mask on the background), then a transparent background.
bool ConfirmSaveFormatLimits(const TLayeredImage* image, const TFormatRow* format);

}  // namespace qm
