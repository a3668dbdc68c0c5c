/* The module interface must stay a plain C header: this file compiles it as C. */
#include "imagefiles/RawModuleApi.h"

typedef char QxlCallbacksStartWithSize[(sizeof(((QxlRawCallbacks*)0)->Size) == 4) ? 1 : -1];
