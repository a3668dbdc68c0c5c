#include "dialogs/replace/ReplaceForms.h"

#include <QSlider>

#include "dialogs/replace/HueBar.h"

namespace qm {

TChgCouleurForm::TChgCouleurForm() : TParamDialogOf(kTraits, &ReplaceColor) {
  AddColorEdit(&TReplaceColorParams::From,
               {"ColorEdit1", {TextId::GetTrLblColor1, TextId::TrFixLblColor1}, "SB1"});
  AddColorEdit(&TReplaceColorParams::To, {"ColorEdit2", {TextId::GetTrLblColor2, TextId::TrFixLblColor2}, "SB2"});
  AddSlider(&TReplaceColorParams::Tolerance,
            {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtTolerance, .PageStep = 10});
}

TChgCouleur2Form::TChgCouleur2Form() : TParamDialogOf(kTraits, &ReplaceHue) {
  AddColorEdit(&TReplaceHueParams::From, {"ColorEdit1", {TextId::GetTrLblColor1, TextId::TrFixLblColor1}});
  auto* bar = new THueBar(this);
  bar->setObjectName(QStringLiteral("ImgDegrade"));
  AddWidget(bar);
  QSlider* hue = AddSlider(&TReplaceHueParams::Hue,
                           {.Name = "TBN", .LabelName = "LblN", .Format = TextId::TrFixFmtDegrees, .PageStep = 10});
  auto* swatch = new THueSwatch(this);
  swatch->setObjectName(QStringLiteral("PnlCouleur"));
  swatch->SetColor(HueColor(Params().Hue));
  AddWidget(swatch);
  AddSlider(&TReplaceHueParams::Tolerance,
            {.Name = "TBN2", .LabelName = "LblN2", .Format = TextId::GetTrFmtTolerance, .PageStep = 10});
  bar->OnPick = [hue](int x) { hue->setValue(x); };
  // Every change of the hue, whatever made it: the swatch never shows another hue than
  // the one a preview applies.
  connect(hue, &QSlider::valueChanged, swatch, [swatch](int h) { swatch->SetColor(HueColor(h)); });
}

}  // namespace qm
