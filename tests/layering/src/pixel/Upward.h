#pragma once
// A file of the pixel layer that breaks the layer order on purpose, for the include
// check's own test: the check must name the second and third includes, not the first.
#include "platform/core/Bitmap.h"
#include "shell/services/Settings.h"
#include <QImage>
