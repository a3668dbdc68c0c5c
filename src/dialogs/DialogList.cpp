#include "dialogs/DialogList.h"

#include "dialogs/blur/BlurForm.h"
#include "dialogs/coloradjust/ColorAdjustForms.h"
#include "dialogs/colorfilters/ColorFilterForms.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "dialogs/imagesize/ImageSizeForms.h"
#include "dialogs/indexed/IndexForm.h"
#include "dialogs/levels/LevelsForms.h"
#include "dialogs/matrix/MatrixForms.h"
#include "dialogs/replace/ReplaceForms.h"
#include "dialogs/replace/VarianteForm.h"
#include "dialogs/selection/SelectionForms.h"
#include "dialogs/sheerlay/SheerlayForm.h"
#include "dialogs/transparency/TransparencyForms.h"

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
  RegisterParamDialog<TNiveauxForm>(registry);
  RegisterParamDialog<TGammaForm>(registry);
  RegisterParamDialog<TAttenuerForm>(registry);
  RegisterParamDialog<TFiltreForm>(registry);
  RegisterParamDialog<TBichromieForm>(registry);
  RegisterParamDialog<TPosterForm>(registry);
  RegisterParamDialog<TBruitForm>(registry);
  RegisterParamDialog<TSwapRGBForm>(registry);
  RegisterParamDialog<TChgCouleurForm>(registry);
  RegisterParamDialog<TChgCouleur2Form>(registry);
  RegisterVarianteForm(registry);
  RegisterParamDialog<TIndexForm>(registry);
  RegisterParamDialog<TPersoForm>(registry);
  RegisterParamDialog<TMinMaxMedForm>(registry);
  RegisterCommandDialog<TOptionSelForm>(registry);
  RegisterCommandDialog<TFrangeForm>(registry);
  RegisterParamDialog<TCouleurTransForm>(registry);
  RegisterParamDialog<TMaskCoulForm>(registry);
  RegisterParamDialog<TCouleurTransCalqueForm>(registry);
  RegisterParamDialog<TSLForm>(registry);
}

}  // namespace qm
