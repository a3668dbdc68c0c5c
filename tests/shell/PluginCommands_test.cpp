// When a plug-in's command is enabled: its type and its requirement bits against the
// facts of the active document.
#include <gtest/gtest.h>

#include "shell/commands/PluginCommands.h"

using namespace qm;

namespace {

// A true-colour photo of one layer, opaque, no selection, saved as JPEG with EXIF.
TPluginFacts Photo() {
  TPluginFacts f;
  f.Doc = true;
  f.WindowCount = 1;
  f.TrueColor = true;
  f.ColorCount = 0;
  f.LayerCount = 1;
  f.ActiveImageLayer = true;
  f.FileName = "/photos/a.JPG";
  f.Exif = true;
  return f;
}

}  // namespace

TEST(PluginCommands, TypesAndRequirementBitsNarrowWhereAPluginRuns) {
  const TPluginFacts none;
  const TPluginFacts photo = Photo();
  TPluginFacts text = photo;  // a text layer active
  text.ActiveImageLayer = false;
  TPluginFacts indexed = photo;
  indexed.TrueColor = false;
  indexed.ColorCount = 256;
  indexed.FileName = "b.gif";
  indexed.Exif = false;
  TPluginFacts layered = photo;
  layered.LayerCount = 3;
  layered.SelectionShown = true;
  layered.Alpha = layered.BgTransparent = true;
  layered.WindowCount = 2;
  layered.FileName = "c.qxs";
  TPluginFacts lockedBg = photo;
  lockedBg.BgLocked = true;
  const struct {
    TPluginType Type;
    uint32_t Flags;
    const TPluginFacts& Facts;
    bool Enabled;
  } cases[] = {
      // without a document: import and tool plug-ins only, unless they ask for one
      {TPluginType::Import, 0, none, true},
      {TPluginType::Import, prDocument, none, false},
      {TPluginType::Tool, prTrueColor | prExif, none, true},
      {TPluginType::Filter, 0, none, false},
      {TPluginType::Image, 0, none, false},
      {TPluginType::Export, 0, none, false},
      // a filter needs true colour and an image layer neither locked nor hidden
      {TPluginType::Filter, 0, photo, true},
      {TPluginType::Filter, 0, text, false},
      {TPluginType::Filter, 0, indexed, false},
      // an image plug-in: background unlocked, one layer, no alpha
      {TPluginType::Image, 0, photo, true},
      {TPluginType::Image, 0, lockedBg, false},
      {TPluginType::Image, 0, layered, false},
      {TPluginType::Export, prFewColors, indexed, true},
      {TPluginType::Export, prFewColors, photo, false},
      {TPluginType::Export, prTrueColor | prFewColors, photo, true},  // the first of a pair wins
      {TPluginType::Export, prTransparent, layered, true},
      {TPluginType::Export, prOpaque, layered, false},
      {TPluginType::Export, prSelection | prLayers | prAlpha | prTwoWindows, layered, true},
      {TPluginType::Export, prNoSelection, layered, false},
      {TPluginType::Export, prOneLayer, layered, false},
      {TPluginType::Export, prNoAlpha, layered, false},
      {TPluginType::Export, prTwoWindows, photo, false},
      {TPluginType::Export, prJpegFile | prExif, photo, true},  // ".JPG": the case does not matter
      {TPluginType::Export, prPngFile, photo, false},
      {TPluginType::Export, prGifFile, indexed, true},
      {TPluginType::Export, prSelectionFile, layered, true},
      {TPluginType::Export, prExif, indexed, false},
      {TPluginType::Tool, prBmpFile, photo, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(IsPluginCommandEnabled(cases[i].Type, cases[i].Flags, cases[i].Facts), cases[i].Enabled) << "case " << i;
  EXPECT_EQ(PluginCaption("&Flou artistique...|Valeur"), "Flou artistique");
}
