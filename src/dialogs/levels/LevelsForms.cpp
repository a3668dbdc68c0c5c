#include "dialogs/levels/LevelsForms.h"

#include <algorithm>

#include "document/LayeredImage.h"
#include "document/Undo.h"

namespace qm {

// The thresholds and intensities of the dark tones, then of the light ones, each pair in
// its frame.
TNiveauxForm::TNiveauxForm() : TParamDialogOf(kTraits, &AdjustLevels) {
  Controls().BeginGroup("GBSombres", {TextId::GetTrLblShadows, TextId::TrFixLblShadows});
  AddSlider(&TLevelsParams::DarkThreshold,
            {.Name = "TBSeuil1", .LabelName = "LblSeuil1", .Format = TextId::GetTrFmtThreshold, .PageStep = 10});
  AddSlider(&TLevelsParams::DarkIntensity,
            {.Name = "TBInt1", .LabelName = "LblInt1", .Format = TextId::GetTrFmtIntensity, .PageStep = 10});
  Controls().BeginGroup("GBClairs", {TextId::GetTrLblHighlights, TextId::TrFixLblHighlights});
  AddSlider(&TLevelsParams::LightThreshold,
            {.Name = "TBSeuil2", .LabelName = "LblSeuil2", .Format = TextId::GetTrFmtThreshold, .PageStep = 10});
  AddSlider(&TLevelsParams::LightIntensity,
            {.Name = "TBInt2", .LabelName = "LblInt2", .Format = TextId::GetTrFmtIntensity, .PageStep = 10});
  Controls().EndGroup();
}

// The slider moves the gamma in tenths, 0.1 to 3.0.
TGammaForm::TGammaForm() : TParamDialogOf(kTraits, &AdjustGamma) {
  AddSlider(&TGammaParams::Gamma, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtLevel, .Scale = 10});
  AddChannelCombo(&TGammaParams::Channel);
}

// --- The fade ----------------------------------------------------------------------------

namespace {

// The fade step over the step it fades: both rectangles of the same layer, the same
// pixels kept.
bool Fadeable(const TUndoLayerItem* fade, const TUndoLayerItem* before) {
  return fade && before && GetUndoStepParam(*fade, upKind) == ukFade && fade->Mode == umRect &&
         before->Mode == umRect && fade->Layer && fade->Layer == before->Layer && fade->Rect == before->Rect &&
         fade->Which == before->Which;
}

}  // namespace

TAttenuerForm::TAttenuerForm() : TParamDialogOf(kTraits) {
  AddSlider(&TFadeParams::Opacity, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtOpacity,
                                    .PageStep = 10});
}

bool TAttenuerForm::TakeRequest(TDialogHost& host, const TDialogRequest& request) {
  const TUndoList* history = host.LayerHost().ActiveHistory();
  if (!history || !Fadeable(history->GetCurrentUndoStep(), history->GetPreviousUndoStep())) return false;
  fresh_ = request.NewStep;
  if (request.Value >= 0) Params().Opacity = std::min(request.Value, 100);
  return true;
}

bool TAttenuerForm::FadeTo(int percent) {
  TDialogHost& host = Host();
  TUndoList* history = host.LayerHost().ActiveHistory();
  TUndoLayerItem* fade = history ? history->GetCurrentUndoStep() : nullptr;
  TUndoLayerItem* before = history ? history->GetPreviousUndoStep() : nullptr;
  TLayeredImage* image = host.LayerHost().ActiveImage();
  if (!image || !Fadeable(fade, before)) return false;
  TBusyScope busy(host);
  // The image before the change, then percent of the change's result mixed in.
  RestoreUndoStep(*before);
  BlendUndoStep(*fade, percent);
  if (fade->Layer == image->GetActiveLayer()) image->InvalidateLayerRect(image->LayerRectToImageRect(fade->Rect));
  else image->InvalidateImage();
  host.RepaintActiveImage();
  return true;
}

bool TAttenuerForm::ShowResult(bool) { return FadeTo(Params().Opacity); }

void TAttenuerForm::Applied() {
  TUndoList* history = Host().LayerHost().ActiveHistory();
  if (TUndoLayerItem* fade = history ? history->GetCurrentUndoStep() : nullptr)
    SetUndoStepParam(*fade, upFadeOpacity, Params().Opacity);
  if (TNewImgForm* document = Host().GetActiveImgForm()) document->NoteChangedOutsideHistory();
}

void TAttenuerForm::TakeBack(bool previewed) {
  if (fresh_) return TParamDialogOf::TakeBack(previewed);  // the fade step goes
  // The fade opened again keeps its step: the percent it stored comes back.
  const TUndoList* history = Host().LayerHost().ActiveHistory();
  if (previewed && history && history->GetCurrentUndoStep())
    FadeTo(GetUndoStepParam(*history->GetCurrentUndoStep(), upFadeOpacity));
}

}  // namespace qm
