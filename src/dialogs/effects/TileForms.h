#pragma once
// The tile effect dialogs (filters taking colours picked on the image): puzzle,
// mosaic, tiles, grid and cross-stitch. Each confines its change to the selection and,
// for the ones that draw lines, strokes the selection's outline in their colour. The
// puzzle, mosaic and grid refuse cells larger than half the working rectangle; the
// cross-stitch reads its thickness whatever its style: an empty one refuses even the
// triangles.
#include "dialogs/ParamDialog.h"
#include "pixel/Tiles.h"
#include "pixel/qt/TileDraw.h"

namespace qm {

class TPuzzleForm final : public TParamDialogOf<TPuzzleParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TPuzzleForm",
                                         .Caption = TextId::TrFixDlgPuzzle,
                                         .MenuText = TextId::GetTrMnuPuzzle,
                                         .PicksColors = true,
                                         .Unrestricted = true,
                                         .PlusMinusAsA = true};
  TPuzzleForm();

 protected:
  TLayerOperation Operation() const override;
};

class TMosaiqueForm final : public TParamDialogOf<TMosaicParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TMosaiqueForm",
                                         .Caption = TextId::TrFixDlgMosaic,
                                         .MenuText = TextId::GetTrMnuMosaic,
                                         .PicksColors = true,
                                         .Unrestricted = true};
  TMosaiqueForm();

 protected:
  TLayerOperation Operation() const override;
  // A colour picked on the image lands only while the borders are drawn.
  void TakePickedColor(TColor color) override;
};

class TCarreauxForm final : public TParamDialogOf<TTilesParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCarreauxForm",
                                         .Caption = TextId::TrFixDlgTiles,
                                         .MenuText = TextId::GetTrMnuTiles,
                                         .PicksColors = true,
                                         .ReadsSource = true,
                                         .Unrestricted = true};
  TCarreauxForm();

 protected:
  TLayerOperation Operation() const override;
};

class TQuadrillageForm final : public TParamDialogOf<TGridParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TQuadrillageForm",
                                         .Caption = TextId::TrFixDlgGrid,
                                         .MenuText = TextId::GetTrMnuGridGenerator,
                                         .PicksColors = true,
                                         .Unrestricted = true};
  TQuadrillageForm();

 protected:
  TLayerOperation Operation() const override;
};

class TCroixForm final : public TParamDialogOf<TCrossStitchParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCroixForm",
                                         .Caption = TextId::TrFixDlgCrossStitch,
                                         .MenuText = TextId::GetTrMnuCrossPoint,
                                         .PicksColors = true,
                                         .ReadsSource = true,
                                         .Unrestricted = true,
                                         .PlusMinusAsA = true};
  TCroixForm();

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;

 private:
  void ShowThickness();
  TSpinEdit2* thickness_;
  QComboBox* style_;
};

}  // namespace qm
