#pragma once
// The transparency dialogs, filters that are not repeated and take colours picked on
// the image: the transparent colour of a single-layer image ("Couleur de
// transparence"), its transparency mask ("Masque de transparence"), and a layer's
// colour hidden through its mask ("Couleur de transparence" of the Calque menu).
#include "dialogs/ParamDialog.h"
#include "pixel/Transparency.h"

class QGroupBox;
class QCheckBox;

namespace qm {

// The pixels near the colour take the transparent colour, which becomes the colour
// chosen, or stays the image's own ("Combiner", offered when the image has one). With
// "Désactiver la transparence" (offered on a transparent image) OK only switches the
// transparency off.
class TCouleurTransForm final : public TParamDialogOf<TTransColorParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCouleurTransForm",
                                         .Caption = TextId::TrFixDlgTransColor,
                                         .MenuText = TextId::GetTrMnuTransparentColor,
                                         .UndoKind = ukWholeImage,
                                         .PicksColors = true,
                                         .NotRepeated = true};
  TCouleurTransForm();
  bool FromDocument(std::string_view field) const override { return field == "Color"; }

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;
  void Applied() override;

 private:
  void FollowDisable();
  QGroupBox* merge_;
  QCheckBox* disable_;
  TColor old_ = 0x1FFFFFFF;  // the transparent colour at the showing; 0x1FFFFFFF: none
};

// The background becomes the mask of one colour: white where it is near the colour,
// black elsewhere, its edges treated as chosen; OK records 256 colours. On a
// transparent image the colour is its transparent colour, exactly, and picks are not
// taken.
class TMaskCoulForm final : public TParamDialogOf<TTransMaskParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TMaskCoulForm",
                                         .Caption = TextId::TrFixDlgTransMask,
                                         .MenuText = TextId::GetTrMnuTransparentMask,
                                         .UndoKind = ukWholeImage,
                                         .PicksColors = true,
                                         .ReadsSource = true,
                                         .NotRepeated = true,
                                         .Unrestricted = true};
  TMaskCoulForm();
  bool FromDocument(std::string_view field) const override { return field == "Color"; }

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;
  void Applied() override;
  void TakePickedColor(TColor color) override;

 private:
  bool keyed_ = false;  // the image was transparent at the showing
};

// The active layer's pixels near the colour are hidden through its mask, wholly at
// opacity 0, not at all at 100.
class TCouleurTransCalqueForm final : public TParamDialogOf<TLayerTransParams> {
 public:
  static constexpr TDialogTraits kTraits{.ClassName = "TCouleurTransCalqueForm",
                                         .Caption = TextId::TrFixDlgTransColor,
                                         .MenuText = TextId::GetTrMnuTransparentColor,
                                         .UndoKind = ukWorkRectMask,
                                         .PicksColors = true,
                                         .NotRepeated = true,
                                         .TitleFromCommand = true,
                                         .Unrestricted = true};
  TCouleurTransCalqueForm();
  bool FromDocument(std::string_view field) const override { return field == "Color"; }

 protected:
  TLayerOperation Operation() const override;
  void Showing() override;
};

}  // namespace qm
