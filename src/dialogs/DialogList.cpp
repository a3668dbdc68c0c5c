#include "dialogs/DialogList.h"

#include "dialogs/blur/BlurForm.h"
#include "dialogs/coloradjust/ColorAdjustForms.h"
#include "dialogs/indexed/IndexForm.h"
#include "dialogs/matrix/MatrixForms.h"
#include "dialogs/replace/ReplaceForms.h"
#include "dialogs/replace/VarianteForm.h"

namespace qm {

void InstallParameterDialogs(TDialogRegistry& registry) {
  RegisterParamDialog<TBlurForm>(registry);
  RegisterParamDialog<TLCForm>(registry);
  RegisterParamDialog<TTSForm>(registry);
  RegisterParamDialog<TRVBForm>(registry);
  RegisterParamDialog<TChgCouleurForm>(registry);
  RegisterParamDialog<TChgCouleur2Form>(registry);
  RegisterVarianteForm(registry);
  RegisterParamDialog<TIndexForm>(registry);
  RegisterParamDialog<TPersoForm>(registry);
  RegisterParamDialog<TMinMaxMedForm>(registry);
}

}  // namespace qm
