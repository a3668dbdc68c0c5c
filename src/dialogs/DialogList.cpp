#include "dialogs/DialogList.h"

#include "dialogs/blur/BlurForm.h"
#include "dialogs/coloradjust/ColorAdjustForms.h"
#include "dialogs/effects/ArtForms.h"
#include "dialogs/effects/EditForms.h"
#include "dialogs/effects/TileForms.h"
#include "dialogs/colorfilters/ColorFilterForms.h"
#include "dialogs/copyright/CopyrightForm.h"
#include "dialogs/frames/FrameForms.h"
#include "dialogs/deform/DeformForms.h"
#include "dialogs/geometry/ImageGeometryForms.h"
#include "dialogs/geometry/SelParamsForm.h"
#include "dialogs/geometry/TransformForm.h"
#include "dialogs/imagesize/ImageSizeForms.h"
#include "dialogs/indexed/IndexForm.h"
#include "dialogs/layers/LayerForms.h"
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
  RegisterParamDialog<TCadreForm>(registry);
  RegisterParamDialog<TBord3DForm>(registry);
  RegisterCommandDialog<TCadreExtForm>(registry);
  RegisterParamDialog<TOmbreForm>(registry);
  RegisterCommandDialog<TOmbreExtForm>(registry);
  RegisterParamDialog<TContourProgForm>(registry);
  RegisterParamDialog<TCRForm>(registry);
  RegisterParamDialog<TPuzzleForm>(registry);
  RegisterParamDialog<TMosaiqueForm>(registry);
  RegisterParamDialog<TCarreauxForm>(registry);
  RegisterParamDialog<TQuadrillageForm>(registry);
  RegisterParamDialog<TCroixForm>(registry);
  RegisterParamDialog<TCrayonForm>(registry);
  RegisterParamDialog<TDiapoForm>(registry);
  RegisterParamDialog<TFiltreDegradeForm>(registry);
  RegisterCommandDialog<TAssemblerForm>(registry);
  RegisterCommandDialog<TDetourForm>(registry);
  RegisterParamDialog<TSpiraleForm>(registry);
  RegisterParamDialog<TOndeForm>(registry);
  RegisterParamDialog<TTrapezeForm>(registry);
  RegisterParamDialog<TLensForm>(registry);
  RegisterCommandDialog<TRotForm>(registry);
  RegisterCommandDialog<TInclinerForm>(registry);
  RegisterCommandDialog<TDecalerForm>(registry);
  RegisterCommandDialog<TRotSelForm>(registry);
  RegisterCommandDialog<TSelParamsForm>(registry);
  RegisterCommandDialog<TTextForm>(registry);
  RegisterCommandDialog<TOpCalqueForm>(registry);
  RegisterCommandDialog<TExportLayerForm>(registry);
  RegisterCommandDialog<TOptionSelForm>(registry);
  RegisterCommandDialog<TFrangeForm>(registry);
  RegisterParamDialog<TCouleurTransForm>(registry);
  RegisterParamDialog<TMaskCoulForm>(registry);
  RegisterParamDialog<TCouleurTransCalqueForm>(registry);
  RegisterParamDialog<TSLForm>(registry);
}

}  // namespace qm
