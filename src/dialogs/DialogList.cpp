#include "dialogs/DialogList.h"

#include "dialogs/blur/BlurForm.h"
#include "dialogs/coloradjust/ColorAdjustForms.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "dialogs/imagesize/ImageSizeForms.h"

namespace qm {

void InstallParameterDialogs(TDialogRegistry& registry) {
  RegisterParamDialog<TBlurForm>(registry);
  RegisterParamDialog<TLCForm>(registry);
  RegisterParamDialog<TTSForm>(registry);
  RegisterParamDialog<TRVBForm>(registry);
  RegisterCommandDialog<TRedimForm>(registry);
  RegisterCommandDialog<TRecadrerForm>(registry);
  RegisterCommandDialog<TAdapterForm>(registry);
  RegisterCommandDialog<TNewForm>(registry);
  RegisterCommandDialog<TCopyrightForm>(registry);
}

}  // namespace qm
