#include "dialogs/DialogList.h"


#include "dialogs/BlurForm.h"
#include "dialogs/ColorAdjustForms.h"

namespace qm {

void InstallParameterDialogs() {
  RegisterParamDialog<TBlurForm>();
  RegisterParamDialog<TLCForm>();
  RegisterParamDialog<TTSForm>();
  RegisterParamDialog<TRVBForm>();
}

}  // namespace qm
