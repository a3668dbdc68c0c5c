#include "dialogs/DialogList.h"

#include "dialogs/blur/BlurForm.h"
#include "dialogs/coloradjust/ColorAdjustForms.h"

namespace qm {

void InstallParameterDialogs(TDialogRegistry& registry) {
  RegisterParamDialog<TBlurForm>(registry);
  RegisterParamDialog<TLCForm>(registry);
  RegisterParamDialog<TTSForm>(registry);
  RegisterParamDialog<TRVBForm>(registry);
}

}  // namespace qm
