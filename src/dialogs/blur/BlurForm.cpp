#include "dialogs/blur/BlurForm.h"

namespace qm {

TBlurForm::TBlurForm() : TParamDialogOf(kTraits, &GaussianBlur) {
  AddSlider(&TGaussianBlurParams::Radius,
            {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtRadius, .PageStep = 5, .TickInterval = 1});
}

}  // namespace qm
