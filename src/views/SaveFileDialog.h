#pragma once
// The save dialog the document's own dialogs ask for a file name with (the icon export,
// the animated GIF editor): a filter in the "description|masks|..." form, the proposed
// folder and name, the default extension added to a name typed without one, and the
// question before a file is replaced.
#include <string>

#include "imagefiles/PictureFiles.h"

class QWidget;

namespace qm {

// False when cancelled; fileName then stays as it was.
bool ShowSaveFileDialog(QWidget* parent, const TSavePictureRequest& request, std::string& fileName);

}  // namespace qm
