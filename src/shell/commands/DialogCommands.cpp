#include "shell/commands/DialogCommands.h"

#include "document/LayerOps.h"
#include "document/Undo.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

constexpr int kNoFade = ukWorkRectImageAndMask;

const TDialogCommandRow kRows[] = {
    // Fichier
    {"MenuFichierNouveau", "TNewForm", -1, dcGuard | dcRefresh | dcNoDocument, true},
    // Edition
    {"MenuAttenuer", "TAttenuerForm", ukFade, dcOwnHandler},
    {"MenuEditionAssembler", "TAssemblerForm", -1, dcHide | dcRefresh, true},
    {"MenuEditionContourRempl", "TCRForm", ukWorkRect, dcPixels},
    {"MenuEditionDetourage", "TDetourForm", -1, dcPixels | dcRefresh, true},
    // Image
    {"MenuModeIndex", "TIndexForm", ukWholeImage, dcOwnHandler},
    {"MenuImageRotLibre", "TRotForm", -1, dcHide},
    {"MenuImageIncliner", "TInclinerForm", -1, dcHide},
    {"MenuImageDecaler", "TDecalerForm", ukWholeImage},
    {"MenuImageRedim", "TRedimForm", -1, dcGuard | dcHide | dcRefresh, true},
    {"MenuImageAdapter", "TAdapterForm", -1, dcGuard | dcHide | dcRefresh, true},
    {"MenuImageZone", "TRecadrerForm", -1, dcGuard | dcHide | dcRefresh},
    {"MenuImageCouleurTrans", "TCouleurTransForm", ukWholeImage, dcGuard | dcMerged},
    {"MenuImageMaskTransp", "TMaskCoulForm", ukWholeImage, dcMerged},
    {"MenuImageEncadrerExt", "TCadreExtForm", -1, dcHide | dcRefresh},
    {"MenuImageOmbrageExt", "TOmbreExtForm", -1, dcHide | dcRefresh},
    {"MenuImageCopyright", "TCopyrightForm", -1, dcHide | dcRefresh, true},
    {"MenuSheerlay", "TSLForm", ukWorkRectImageAndMask, dcGuard | dcMask},
    // Calque
    {"MenuCalqueVierge", "TSelParamsForm", -1, dcNone, true, 2},
    {"MenuTexte", "TTextForm", -1, dcGuard},
    {"MenuCalqueOptions", "TOpCalqueForm", -1, dcFree | dcHide | dcOwnHandler, true, 0},
    {"MenuCalqueOptions", "TTextForm", -1, dcFree | dcHide | dcOwnHandler, false, 0},
    {"MenuCalqueCouleur", "TOpCalqueForm", -1, dcOwnHandler, true, 1},
    {"MenuCalqueReglage", "TOpCalqueForm", -1, dcOwnHandler, true, 1},
    {"MenuCalqueTransformParams", "TRotSelForm", ukWholeLayer},
    {"MenuCalqueCouleurTrans", "TCouleurTransCalqueForm", ukWorkRectMask, dcHide | dcMask},
    {"MenuCalqueParams", "TSelParamsForm", -1, dcHide, true, 1},
    {"MenuCalqueExporter", "TExportLayerForm", -1, dcHide, true},
    // Sélection
    {"MenuSelParams", "TSelParamsForm", -1, dcNone, true, 0},
    {"MenuSelDilater", "TOptionSelForm", -1, dcNone, true, 0},
    {"MenuSelContracter", "TOptionSelForm", -1, dcNone, true, 1},
    {"MenuSelFrange", "TFrangeForm", -1, dcNone, true},
    // Filtre
    {"MenuFiltreBruit", "TBruitForm", ukWorkRect},
    {"MenuFiltreAntipoussiere", "TMinMaxMedForm", ukWorkRect, dcNone, false, 2},
    {"MenuFiltreMinimum", "TMinMaxMedForm", ukWorkRect, dcNone, false, 0},
    {"MenuFiltreMaximum", "TMinMaxMedForm", ukWorkRect, dcNone, false, 1},
    {"MenuFiltreFlouGauss", "TBlurForm", ukWorkRect},
    {"MenuFiltreFiltre", "TFiltreForm", ukWorkRect},
    {"MenuFiltreDegrade", "TFiltreDegradeForm", ukWorkRect, dcGuard},
    {"MenuFiltrePerso", "TPersoForm", ukWorkRect},
    {"MenuFiltreCrayons", "TCrayonForm", ukWorkRect},
    {"MenuFiltreOnde", "TOndeForm", ukWorkRect},
    {"MenuFiltreSphere", "TLensForm", kNoFade, dcNoFade},
    {"MenuFiltreSpirale", "TSpiraleForm", kNoFade, dcNoFade},
    {"MenuFiltreTapeze", "TTrapezeForm", kNoFade, dcNoFade},
    {"MenuFiltreMosaique", "TMosaiqueForm", ukWorkRect},
    {"MenuFiltrePuzzle", "TPuzzleForm", ukWorkRect},
    {"MenuFiltreCarreaux", "TCarreauxForm", ukWorkRect},
    {"MenuFiltreCroix", "TCroixForm", ukWorkRect},
    {"MenuFiltreQuadrillage", "TQuadrillageForm", ukWorkRect},
    {"MenuContourEncadrer", "TCadreForm", ukWorkRect},
    {"MenuContourDiapositive", "TDiapoForm", ukWorkRect},
    {"MenuFiltreProgressif", "TContourProgForm", ukWorkRect},
    {"MenuFiltreOmbre", "TOmbreForm", ukWorkRect},
    {"MenuFiltreCtr3D", "TBord3DForm", ukWorkRect},
    // Réglage
    {"MenuReglageLC", "TLCForm", ukWorkRect},
    {"MenuReglageTS", "TTSForm", ukWorkRect},
    {"MenuReglageRVB", "TRVBForm", ukWorkRect, dcGuard},
    {"MenuReglageGamma", "TGammaForm", ukWorkRect},
    {"MenuReglageNiveaux", "TNiveauxForm", ukWorkRect},
    {"MenuReglageInversionRVB", "TSwapRGBForm", ukWorkRect},
    {"MenuReglageRemplacer", "TChgCouleurForm", ukWorkRect},
    {"MenuReglageRemplacer2", "TChgCouleur2Form", ukWorkRect},
    {"MenuReglageBichromie", "TBichromieForm", ukWorkRect},
    {"MenuReglageVariante", "TVarianteForm", -1, dcGuard | dcRefresh, true},
    {"MenuReglagePosteriser", "TPosterForm", ukWorkRect},
};

std::string RowCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

}  // namespace

std::span<const TDialogCommandRow> DialogCommandRows() { return kRows; }

const TDialogCommandRow* FindDialogCommand(std::string_view name, std::string_view dialog) {
  for (const TDialogCommandRow& row : kRows)
    if (row.Name == name && (dialog.empty() || row.Dialog == dialog)) return &row;
  return nullptr;
}

bool RunDialogCommand(TShellServices& services, TDialogLauncher& dialogs, const TDialogCommandRow& row,
                      const TCommandSender& sender, TDialogRequest request) {
  if ((row.Checks & dcGuard) && !services.CanRunCommand(sender.Action)) return false;
  TLayeredImage* image = services.LayerHost().ActiveImage();
  if (!image && !(row.Checks & dcNoDocument)) return false;
  if (image) {
    if ((row.Checks & dcMerged) && !CheckLayersMerged(image)) return false;
    if ((row.Checks & dcPixels) && CheckSelectionHasPixels(services.LayerHost())) return false;
    if ((row.Checks & dcFree) && IsActiveLayerBlocked(image)) return false;
    if (row.Checks & dcHide) {
      services.LayerHost().HideSelection();
      services.UpdateStatusBar();
    }
    // a step of the mask snaps the mask: it must be there before the step
    if ((row.Checks & dcMask) && image->ActiveIndex() > 0 && image->GetActiveLayer())
      image->GetActiveLayer()->CreateDefaultMask();
  }
  if (request.Caption.empty()) request.Caption = RowCaption(sender.Row ? sender.Row->Name : row.Name);
  request.Mode = row.Mode;
  request.Modal = row.Modal;
  request.NewStep = row.Kind >= 0;
  if (!request.Sender) request.Sender = sender.Action;
  TUndoableOperations& ops = services.Operations();
  if (row.Kind >= 0) {
    TUndoLayerItem* step = ops.BeginDialogOperation(TUndoKind(row.Kind), request.Caption);
    if (!step) return false;
    if (row.Checks & dcNoFade) SetUndoStepParam(*step, upNoFade, 1);
  }
  // a modal dialog may be drawn see-through: the documents behind it are brought up to date
  if (row.Checks & dcRefresh) services.Windows().RefreshAllImageWindows();
  if (dialogs.OpenDialog(services, row.Dialog, request)) return true;
  if (row.Kind >= 0) ops.EndDialogOperation(false);
  return false;
}

int AttachDialogCommands(TCommandSet& commands, TShellServices& services, TDialogLauncher& dialogs) {
  int n = 0;
  for (const TDialogCommandRow& row : kRows) {
    if ((row.Checks & dcOwnHandler) || !dialogs.HasDialog(row.Dialog)) continue;
    n += commands.SetHandler(row.Name, [&services, &dialogs, &row](const TCommandSender& sender) {
      RunDialogCommand(services, dialogs, row, sender);
    });
  }
  return n;
}

}  // namespace qm
