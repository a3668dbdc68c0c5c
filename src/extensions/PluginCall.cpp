#include "extensions/PluginCall.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Blend.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Thumbnail.h"
#include "platform/core/Colors.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/LayerChange.h"
#include "shell/services/ShellServices.h"
#include "views/DocumentWindow.h"
#include "views/SelectionControl.h"

namespace qm {

// The state the callbacks share for one call.
struct TPluginCall::TState {
  TShellServices& Services;
  const TPluginSetup& Setup;
  TLayerRun* Change;
  QxlPluginHost Record{};
  std::string LanguageCode, LanguageName;
  // The change's layer mask as it was when the call began (a step holding the mask is
  // widened from it).
  TBitmap MaskBefore;
  bool MaskBeforeTaken = false;
  // The plug-in's first window, a form or a native window.
  QPointer<QWidget> WindowForm;
  QPointer<QWindow> WindowNative;
  // The stand-ins of the native windows shown (freeing one leaves its window alone).
  std::vector<std::unique_ptr<QWindow>> Natives;
  // The main window hidden or minimised by the plug-in.
  bool MainHidden = false, MainMinimised = false;

  TState(TShellServices& services, const TPluginSetup& setup, TLayerRun* change)
      : Services(services), Setup(setup), Change(change) {}

  // --- The active document ---------------------------------------------------------
  TLayeredImage* Image() { return Services.LayerHost().ActiveImage(); }
  TLayerItem* ActiveLayer() {
    TLayeredImage* image = Image();
    return image ? image->GetActiveLayer() : nullptr;
  }
  // The active layer when it is a bitmap layer with pixels.
  TLayerItem* BitmapLayer() {
    TLayerItem* layer = ActiveLayer();
    return layer && layer->LayerType == ltBitmap && !layer->Image.Empty() ? layer : nullptr;
  }
  TLayerItem* Background() {
    TLayeredImage* image = Image();
    return image && image->GetLayerCount() > 0 ? &image->Layers[0] : nullptr;
  }
  // The working rectangle in the active layer, clipped to its bitmap.
  TRect WorkRect(const TBitmap& bitmap) {
    TRect r = Services.GetWorkRect();
    ClipRectToBitmap(r, bitmap);
    return r;
  }
  bool SelectionShown() {
    TSelectionOverlay* sel = Services.LayerHost().ActiveSelection();
    return Image() && sel && sel->Visible;
  }
  // The change's step while it stands as the current step of the active document.
  TUndoLayerItem* Step() {
    if (!Change || !Change->Step) return nullptr;
    TUndoList* history = Services.GetActiveHistory();
    return history && history->GetCurrentUndoStep() == Change->Step ? Change->Step : nullptr;
  }

  // Whether the layer may be written over r (its coordinates; a null r for the whole
  // layer) so that the change's step gives it back: without a change, always; within
  // one, only the step's layer, whose rectangle step grows to r from the copies taken
  // before the change.
  bool MayWrite(TLayerItem& layer, const TRect* r = nullptr) {
    if (!Change) {
      NoteUnrecorded();
      return true;
    }
    TUndoLayerItem* step = Step();
    if (!step || step->Layer != &layer) return false;
    if (step->Mode != umRect) return true;
    TRect want = r ? *r : GetBitmapRect(layer.Image);
    ClipRectToBitmap(want, layer.Image);
    const TRect grown = UnionRect(step->Rect, want);
    if (grown == step->Rect) return true;
    const TBitmap& source = Change->Source;
    if (source.Width() != layer.Image.Width() || source.Height() != layer.Image.Height()) return false;
    if (step->Which != uwMask) step->ImageSnap.Snapshot(&source, grown);
    if (step->Which != uwImage) step->MaskSnap.Snapshot(MaskBeforeTaken ? &MaskBefore : &layer.Mask, grown);
    step->Rect = grown;
    return true;
  }

  // A run without a change (an import, export or tool plug-in) writes beside the
  // history: the document is marked changed, so that closing it asks to save it.
  void NoteUnrecorded() {
    if (Change) return;
    if (TNewImgForm* window = Services.GetActiveImgForm()) window->NoteChangedOutsideHistory();
  }
  // The rows lent to a run without a change, as they stood at its start.
  TBitmap* LentRows = nullptr;
  uint64_t LentPrint = 0;

  // --- Repaint ----------------------------------------------------------------------
  void Repaint(const TLayerItem& layer, TRect r) {
    TLayeredImage* image = Image();
    if (!image) return;
    if (&layer == image->GetActiveLayer()) image->InvalidateLayerRect(image->LayerRectToImageRect(r));
    else image->InvalidateImage();
    Services.RepaintActiveImage();
  }
  void RepaintAll() {
    if (TLayeredImage* image = Image()) image->InvalidateImage();
    Services.RepaintActiveImage();
  }

  // --- Locks and windows --------------------------------------------------------------
  void ClearLocks() {
    Services.SetActiveToolDialog(nullptr);
    Services.SetShellLock(nullptr);
    Services.EnableShell(nullptr);
  }
  void ApplyLock(int mode) {
    ClearLocks();
    if (!Image()) mode = 0;
    QWidget* main = Services.MainWindow();
    if (mode == 0) Services.EnableShell(main);
    else if (mode == 1) Services.SetShellLock(main);
    else if (mode == 2) Services.SetActiveToolDialog(main);
  }
  void ShowPluginWindows(bool shown) {
    if (WindowForm) WindowForm->setVisible(shown);
    if (WindowNative) WindowNative->setVisible(shown);
  }
};

namespace {

using TState = TPluginCall::TState;

TState* StateOf(QxlPluginHost* host) { return host ? static_cast<TState*>(host->HostContext) : nullptr; }

// Runs a callback's body for its call; refused without one, and whatever the body
// throws (out of memory among others) becomes the refusal.
template <class R, class F>
R Serve(QxlPluginHost* host, R refused, F&& body) noexcept {
  TState* s = StateOf(host);
  if (!s) return refused;
  try {
    return body(*s);
  } catch (...) {
    return refused;
  }
}

// --- Bitmaps and texts of the plug-in ---------------------------------------------------

// The plug-in's bitmap when it is usable and of the size asked.
bool Fits(const QxlBitmap* b, int width, int height) {
  return b && b->Size >= sizeof(QxlBitmap) && b->Bits && width > 0 && height > 0 && b->Width == width &&
         b->Height == height && b->Stride >= int64_t(width) * 3;
}
bool Usable(const QxlBitmap* b) { return b && Fits(b, b->Width, b->Height); }

uint8_t* RowOf(const QxlBitmap& b, int y) { return b.Bits + ptrdiff_t(y) * b.Stride; }

// r of the bitmap into the plug-in's bitmap (of r's size), and back at r's corner.
void CopyOut(const TBitmap& from, const TRect& r, const QxlBitmap& to) {
  for (int y = 0; y < r.Height(); ++y)
    std::memcpy(RowOf(to, y), from.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, size_t(r.Width()) * 3);
}
void CopyIn(const QxlBitmap& from, TBitmap& to, const TRect& r) {
  for (int y = 0; y < r.Height(); ++y)
    std::memcpy(to.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3, RowOf(from, y), size_t(r.Width()) * 3);
}
// The same for masks, each byte inverted on the way (the plug-ins see 255 as opaque).
void CopyOutInverted(const TBitmap& from, const TRect& r, const QxlBitmap& to) {
  const size_t n = size_t(r.Width()) * 3;
  for (int y = 0; y < r.Height(); ++y) {
    const uint8_t* s = from.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3;
    uint8_t* d = RowOf(to, y);
    for (size_t i = 0; i < n; ++i) d[i] = uint8_t(255 - s[i]);
  }
}
void CopyInInverted(const QxlBitmap& from, TBitmap& to, const TRect& r) {
  const size_t n = size_t(r.Width()) * 3;
  for (int y = 0; y < r.Height(); ++y) {
    const uint8_t* s = RowOf(from, y);
    uint8_t* d = to.ScanLine(r.Top + y) + ptrdiff_t(r.Left) * 3;
    for (size_t i = 0; i < n; ++i) d[i] = uint8_t(255 - s[i]);
  }
}
TBitmap ToBitmap(const QxlBitmap& from) {
  TBitmap b = TBitmap::Uninitialized(from.Width, from.Height);
  CopyIn(from, b, GetBitmapRect(b));
  return b;
}

// A text of the plug-in, read within max bytes.
std::string ReadText(const char* text, size_t max) { return text ? std::string(text, strnlen(text, max)) : std::string(); }
constexpr size_t kMaxPathText = 4096;

// At most size - 1 bytes of text, never half a character, and the terminator.
char* CopyText(const std::string& text, char* buffer, int32_t size) {
  if (!buffer || size < 1) return nullptr;
  size_t n = std::min(text.size(), size_t(size) - 1);
  while (n > 0 && n < text.size() && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return buffer;
}

void Store(int32_t out[4], const TRect& r) {
  out[0] = r.Left;
  out[1] = r.Top;
  out[2] = r.Right;
  out[3] = r.Bottom;
}

// --- Level 1 ---------------------------------------------------------------------------

void ShowBusy(QxlPluginHost* host, const char* text, int32_t hourglass) noexcept {
  Serve(host, 0, [&](TState& s) {
    s.Services.BeginBusy(ReadText(text, 1024), hourglass != 0);
    return 0;
  });
}

void HideBusy(QxlPluginHost* host) noexcept {
  Serve(host, 0, [](TState& s) {
    s.Services.EndBusy();
    return 0;
  });
}

int32_t GetImage(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    const TRect r = image ? image->ImageRect() : TRect{};
    if (!image || !Fits(bitmap, r.Width(), r.Height())) return 0;
    if (image->SuspendComposition) {
      // The shown picture is the plug-in's: the layers are composed apart.
      TBitmap composed = TBitmap::Uninitialized(r.Width(), r.Height());
      image->RenderRectOnto(composed, r, clWhite);
      CopyOut(composed, r, *bitmap);
    } else {
      CopyOut(image->UpdatedComposition(), r, *bitmap);
    }
    return QXL_DONE;
  });
}

int32_t SetImage(QxlPluginHost* host, const QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    TLayerItem* background = s.Background();
    if (!image || !background) return 0;
    if (!bitmap) {
      if (image->SuspendComposition) {
        image->RenderRectOnto(image->ComposedBitmap(), image->ImageRect(), clWhite);
      } else {
        // Only the change's own step: an older one holds another command's pixels.
        if (!s.Step()) return 0;
        s.Services.Operations().RestoreFromHistory();
        image->InvalidateImage();
      }
      s.Services.RepaintActiveImage();
      return QXL_DONE;
    }
    if (!Usable(bitmap)) return 0;
    const bool resize = bitmap->Width != background->Image.Width() || bitmap->Height != background->Image.Height();
    if (image->SuspendComposition) {
      if (resize) return 0;
      CopyIn(*bitmap, image->ComposedBitmap(), GetBitmapRect(image->ComposedBitmap()));
      s.Services.RepaintActiveImage();
      return QXL_DONE;
    }
    if (resize && s.Services.ActiveImageHasAlpha()) return 0;
    if (resize) {
      TUndoLayerItem* step = s.Change ? s.Step() : nullptr;
      if (s.Change && (!step || step->Layer != background || step->Mode == umRect)) return 0;
      s.NoteUnrecorded();
      TBitmap& b = background->Image;
      const bool transparent = b.Transparent;
      const TColor key = b.TransparentColor;
      b = TBitmap(bitmap->Width, bitmap->Height);
      b.TransparentColor = key;
      b.Transparent = transparent;
    } else if (!s.MayWrite(*background)) {
      return 0;
    }
    CopyIn(*bitmap, background->Image, GetBitmapRect(background->Image));
    s.RepaintAll();
    return QXL_DONE;
  });
}

int32_t GetWorkArea(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.BitmapLayer();
    if (!layer) return 0;
    const TRect r = s.WorkRect(layer->Image);
    if (!Fits(bitmap, r.Width(), r.Height())) return 0;
    CopyOut(layer->Image, r, *bitmap);
    return QXL_DONE;
  });
}

int32_t SetWorkArea(QxlPluginHost* host, const QxlBitmap* bitmap, int32_t mode) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.BitmapLayer();
    if (!layer) return 0;
    const TRect r = s.WorkRect(layer->Image);
    if (!Fits(bitmap, r.Width(), r.Height()) || !s.MayWrite(*layer, &r)) return 0;
    CopyIn(*bitmap, layer->Image, r);
    // The copy taken before the change brings back what lies outside the selection;
    // a run without a change has none of its own.
    if (s.Change) s.Services.RestrictToSelection(mode == 1 ? seHard : seProgressive);
    s.Repaint(*layer, r);
    return QXL_DONE;
  });
}

uint32_t GetTransparentColor(QxlPluginHost* host) noexcept {
  return Serve(host, QXL_NO_COLOR, [](TState& s) -> uint32_t {
    TLayerItem* background = s.Background();
    return background && background->Image.Transparent ? background->Image.TransparentColor : QXL_NO_COLOR;
  });
}

int32_t SetTransparentColor(QxlPluginHost* host, uint32_t color) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    TLayerItem* background = s.Background();
    if (!image || !background || image->GetLayerCount() > 1 || s.Services.ActiveImageHasAlpha() ||
        !s.MayWrite(*background))
      return 0;
    TBitmap& b = background->Image;
    b.Transparent = color != QXL_NO_COLOR;
    b.TransparentColor = b.Transparent ? ColorToRGB(color) : clNone;
    s.RepaintAll();
    return QXL_DONE;
  });
}

int32_t GetColorCount(QxlPluginHost* host) noexcept {
  return Serve(host, -1, [](TState& s) { return s.Image() ? s.Services.GetActiveImageColorCount() : -1; });
}

int32_t ColorCountOf(int32_t count) { return count >= 2 && count <= 256 ? count : 16777216; }

int32_t SetColorCount(QxlPluginHost* host, int32_t count) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    if (!image || image->GetLayerCount() > 1 || s.Services.ActiveImageHasAlpha()) return 0;
    if (s.Services.GetActiveImageColorCount() != ColorCountOf(count)) s.NoteUnrecorded();
    s.Services.SetActiveImageColorCount(ColorCountOf(count));
    s.Services.UpdateStatusBar();
    return s.Services.GetActiveImageColorCount();
  });
}

int32_t NewImage(QxlPluginHost* host, const QxlBitmap* bitmap, const char* name, int32_t mode, int32_t colorCount,
                 uint32_t transparentColor) noexcept {
  return Serve(host, 0, [&](TState& s) {
    if (!Usable(bitmap)) return 0;
    TBitmap copy = ToBitmap(*bitmap);
    if (transparentColor != QXL_NO_COLOR) {
      copy.TransparentColor = ColorToRGB(transparentColor);
      copy.Transparent = true;
    }
    const TNewImgForm* before = s.Services.GetActiveImgForm();
    s.Services.CreateImageWindow(std::move(copy), nullptr, ColorCountOf(colorCount), mode != 1,
                                 ReadText(name, kMaxPathText));
    return s.Services.GetActiveImgForm() != before ? QXL_DONE : 0;
  });
}

// Ends a nested event loop once the watched window is hidden or goes.
class TVisibilityWatch : public QObject {
 public:
  TVisibilityWatch(QObject* watched, QEventLoop& loop) : loop_(loop) {
    watched->installEventFilter(this);
    connect(watched, &QObject::destroyed, &loop, &QEventLoop::quit);
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Hide || e->type() == QEvent::Close) loop_.quit();
    return false;
  }

 private:
  QEventLoop& loop_;
};

QPoint CentredOn(const QRect& main, QSize size) {
  return QPoint(main.left() + (main.width() - size.width()) / 2, main.top() + (main.height() - size.height()) / 2);
}

void ShowPluginForm(QxlPluginHost* host, void* form, int32_t lockMode, int32_t centre, int32_t modal) noexcept {
  Serve(host, 0, [&](TState& s) {
    QPointer<QWidget> w = static_cast<QWidget*>(form);
    if (!w) return 0;
    if (!s.WindowForm && !s.WindowNative) s.WindowForm = w;
    QWidget* main = s.Services.MainWindow();
    if (centre && main) w->move(CentredOn(main->frameGeometry(), w->frameGeometry().size()));
    s.ApplyLock(lockMode);
    // A window of its own stays usable while the main window it belongs to is disabled.
    if (w->isWindow()) w->setEnabled(true);
    w->show();
    // Its frame is known once shown.
    if (centre && main && w) w->move(CentredOn(main->frameGeometry(), w->frameGeometry().size()));
    if (modal && w && w->isVisible()) {
      QEventLoop loop;
      TVisibilityWatch watch(w, loop);
      loop.exec();
    }
    return 0;
  });
}

int32_t BlendWithBackup(QxlPluginHost* host, int32_t percent) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.BitmapLayer();
    if (!layer || !s.Change || !s.Services.IsActiveImageTrueColor() || layer->Image.Transparent || percent < 0 ||
        percent > 100)
      return 0;
    const TBitmap& backup = s.Change->Source;
    if (backup.Width() != layer->Image.Width() || backup.Height() != layer->Image.Height() || !s.MayWrite(*layer))
      return 0;
    const TRect all = GetBitmapRect(layer->Image);
    CopyBitmapRectOpacity(backup, all, layer->Image, 0, 0, all, 100 - percent);
    s.Repaint(*layer, all);
    return QXL_DONE;
  });
}

// The active document with an undo step that is not the stroke's to take again: the
// run's step is grown beforehand from the copies taken before the change, never
// snapped from the layer as the plug-in has left it (nor an older step at all).
class TStepFreeSelectionHost : public TSelectionHost {
 public:
  explicit TStepFreeSelectionHost(TSelectionHost& host) : host_(host) {}
  TBitmap* ActiveLayerBitmap() override { return host_.ActiveLayerBitmap(); }
  TPoint ActiveLayerOrigin() override { return host_.ActiveLayerOrigin(); }
  TBitmap* BaseLayerBitmap() override { return host_.BaseLayerBitmap(); }
  TSelectionOverlay* ActiveSelection() override { return host_.ActiveSelection(); }
  bool IsActiveImageTrueColor() override { return host_.IsActiveImageTrueColor(); }
  const TBitmap* PreChangeCopy() override { return host_.PreChangeCopy(); }
  TSelectionSmoothing SelectionSmoothing() override { return host_.SelectionSmoothing(); }
  void ResnapUndoStep(const TRect&) override {}

 private:
  TSelectionHost& host_;
};

int32_t StrokeSelection(QxlPluginHost* host, int32_t width, uint32_t color, int32_t smooth) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.ActiveLayer();
    if (!layer || layer->Image.Empty() || !s.MayWrite(*layer)) return 0;
    TStepFreeSelectionHost stroked(s.Services.LayerHost());
    StrokeSelectionOutline(stroked, ColorToRGB(color), width, smooth != 0 && s.Services.IsActiveImageTrueColor());
    s.Repaint(*layer, GetBitmapRect(layer->Image));
    return QXL_DONE;
  });
}

// The selection as a mask of the active layer (255 selected), its own mask laid in.
std::unique_ptr<TBitmap> SelectionMask(TState& s) {
  TLayerItem* layer = s.ActiveLayer();
  if (!layer || layer->Image.Empty()) return nullptr;
  TLayerHost& host = s.Services.LayerHost();
  std::unique_ptr<TBitmap> mask;
  if (s.SelectionShown()) {
    const TSelectionOverlay* sel = host.ActiveSelection();
    mask = ApplySelectionMaskToLayer(host, sel->ShapeKind != ssRect ? seSmooth : seHard);
  } else {
    mask = CreateSelectionMaskBitmap(host, true);
  }
  if (mask && !layer->Mask.Empty()) MergeRectMax(layer->Mask, *mask, 0, 0, GetBitmapRect(*mask));
  return mask;
}

int32_t GetSelectionMask(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    std::unique_ptr<TBitmap> mask = SelectionMask(s);
    if (!mask || !Fits(bitmap, mask->Width(), mask->Height())) return 0;
    CopyOut(*mask, GetBitmapRect(*mask), *bitmap);
    return QXL_DONE;
  });
}

void SetImageSaved(QxlPluginHost* host) noexcept {
  Serve(host, 0, [](TState& s) {
    if (TNewImgForm* w = s.Services.GetActiveImgForm()) w->MarkImageWindowSaved();
    s.Services.UpdateCommandStates();
    return 0;
  });
}

char* GetImageFileName(QxlPluginHost* host, char* buffer, int32_t size) noexcept {
  return Serve<char*>(host, nullptr,
                      [&](TState& s) { return CopyText(s.Services.GetActiveFileName(), buffer, size); });
}

std::string ProgramFolder() {
  return AddTrailingBackslash(QCoreApplication::applicationDirPath().toStdString());
}

char* GetProgramFolder(QxlPluginHost* host, char* buffer, int32_t size) noexcept {
  return Serve<char*>(host, nullptr, [&](TState&) { return CopyText(ProgramFolder(), buffer, size); });
}

char* GetOpenFolder(QxlPluginHost* host, char* buffer, int32_t size) noexcept {
  return Serve<char*>(host, nullptr, [&](TState& s) {
    const std::string folder = s.Setup.OpenFolder ? s.Setup.OpenFolder() : std::string();
    return CopyText(folder.empty() ? ProgramFolder() : AddTrailingBackslash(folder), buffer, size);
  });
}

char* GetSaveFolder(QxlPluginHost* host, char* buffer, int32_t size) noexcept {
  return Serve<char*>(host, nullptr, [&](TState& s) {
    const std::string folder = s.Setup.SaveFolder ? s.Setup.SaveFolder() : std::string();
    return CopyText(folder.empty() ? std::string() : AddTrailingBackslash(folder), buffer, size);
  });
}

char* GetPluginFolder(QxlPluginHost* host, char* buffer, int32_t size) noexcept {
  return Serve<char*>(host, nullptr, [&](TState& s) {
    return CopyText(s.Setup.PluginFolder.empty() ? std::string() : AddTrailingBackslash(s.Setup.PluginFolder), buffer,
                    size);
  });
}

char* GetSettingsFileName(QxlPluginHost* host, char* buffer, int32_t size) noexcept {
  return Serve<char*>(host, nullptr, [&](TState& s) { return CopyText(s.Setup.SettingsFile, buffer, size); });
}

int32_t SetImageFileName(QxlPluginHost* host, const char* name) noexcept {
  return Serve(host, 0, [&](TState& s) {
    const std::string file = ReadText(name, kMaxPathText);
    if (file.empty() || !s.Services.GetActiveImgForm()) return 0;
    s.Services.SetActiveFileName(file);
    s.Services.UpdateStatusBar();
    return QXL_DONE;
  });
}

TNewImgForm* WindowOfFile(TState& s, const char* fileName) {
  const std::string name = ReadText(fileName, kMaxPathText);
  return name.empty() ? nullptr : s.Services.Windows().FindImageWindowByFileName(name);
}

int32_t GetImageByName(QxlPluginHost* host, QxlBitmap* bitmap, const char* fileName) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TNewImgForm* w = WindowOfFile(s, fileName);
    if (!w) return 0;
    const TRect r = w->Image().ImageRect();
    if (!Fits(bitmap, r.Width(), r.Height())) return 0;
    CopyOut(w->Image().UpdatedComposition(), r, *bitmap);
    return QXL_DONE;
  });
}

int32_t DrawThumbnailOf(TLayeredImage& image, QxlBitmap* bitmap, uint32_t cellColor, int32_t margin,
                        int32_t shadowWidth, uint32_t outerColor, int32_t imageRect[4]) {
  if (!Usable(bitmap) || image.ImageRect().IsEmpty()) return 0;
  TBitmap cell = ToBitmap(*bitmap);
  TRect drawn{};
  DrawThumbnail(image.UpdatedComposition(), cell, ColorToRGB(cellColor), std::min(margin, 50),
                std::min(shadowWidth, 10), ColorToRGB(outerColor), true, drawn);
  CopyOut(cell, GetBitmapRect(cell), *bitmap);
  if (imageRect) Store(imageRect, drawn);
  return QXL_DONE;
}

int32_t DrawImageThumbnail(QxlPluginHost* host, QxlBitmap* bitmap, uint32_t cellColor, int32_t margin,
                           int32_t shadowWidth, uint32_t outerColor, int32_t imageRect[4]) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    return image ? DrawThumbnailOf(*image, bitmap, cellColor, margin, shadowWidth, outerColor, imageRect) : 0;
  });
}

int32_t DrawNamedImageThumbnail(QxlPluginHost* host, QxlBitmap* bitmap, const char* fileName, uint32_t cellColor,
                                int32_t margin, int32_t shadowWidth, uint32_t outerColor, int32_t imageRect[4]) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TNewImgForm* w = WindowOfFile(s, fileName);
    return w ? DrawThumbnailOf(w->Image(), bitmap, cellColor, margin, shadowWidth, outerColor, imageRect) : 0;
  });
}

int32_t EnumImages(QxlPluginHost* host, QxlEnumImagesFn callback, void* user) noexcept {
  return Serve(host, 0, [&](TState& s) {
    if (!callback) return 0;
    // A copy: the callback may open or close nothing, but the list is not ours to walk
    // while it runs.
    const std::vector<TNewImgForm*> windows = s.Services.Windows().Windows();
    for (TNewImgForm* w : windows) {
      char name[256];
      CopyText(w->FileName(), name, sizeof name);
      const TRect r = w->Image().ImageRect();
      const TLayerItem* background = w->Image().GetLayerCount() > 0 ? &w->Image().Layers[0] : nullptr;
      const uint32_t key =
          background && background->Image.Transparent ? background->Image.TransparentColor : QXL_NO_COLOR;
      if (callback(user, name, r.Width(), r.Height(), w->Image().ColorCount, key) == 0) return 0;
    }
    return QXL_DONE;
  });
}

// --- Level 2 ---------------------------------------------------------------------------

void ShowPluginWindow(QxlPluginHost* host, uint64_t window, int32_t lockMode, int32_t centre, int32_t modal) noexcept {
  Serve(host, 0, [&](TState& s) {
    // Native windows of other programs exist only on an X11 desktop.
    QPointer<QWindow> w;
    if (window && QGuiApplication::platformName() == QLatin1String("xcb")) {
      s.Natives.emplace_back(QWindow::fromWinId(WId(window)));
      w = s.Natives.back().get();
    }
    if (w && !s.WindowForm && !s.WindowNative) s.WindowNative = w;
    QWidget* main = s.Services.MainWindow();
    if (w && centre && main) w->setPosition(CentredOn(main->frameGeometry(), w->frameGeometry().size()));
    s.ApplyLock(lockMode);
    if (!w || !modal) return 0;
    w->show();
    w->requestActivate();
    if (w && w->isVisible()) {
      QEventLoop loop;
      TVisibilityWatch watch(w, loop);
      loop.exec();
    }
    return 0;
  });
}

int32_t CreateBitmap(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState&) {
    if (!bitmap || bitmap->Size < sizeof(QxlBitmap) || bitmap->Width <= 0 || bitmap->Height <= 0 ||
        bitmap->Width > kMaxBitmapSide || bitmap->Height > kMaxBitmapSide)
      return 0;
    auto* b = new TBitmap(bitmap->Width, bitmap->Height, pf24bit, clWhite);
    bitmap->Host = b;
    bitmap->Stride = int32_t(b->Stride());
    bitmap->Bits = b->ScanLine(0);
    bitmap->Row = bitmap->Bits;
    return 1;
  });
}

int32_t FreeBitmap(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState&) {
    if (!bitmap || bitmap->Size < sizeof(QxlBitmap) || !bitmap->Host) return 0;
    delete static_cast<TBitmap*>(bitmap->Host);
    bitmap->Host = nullptr;
    bitmap->Bits = bitmap->Row = nullptr;
    return 1;
  });
}

intptr_t DetachBitmapHandle(QxlPluginHost*, QxlBitmap*) noexcept { return 0; }

uint8_t* GetBitmapScanLine(QxlPluginHost* host, QxlBitmap* bitmap, int32_t row) noexcept {
  return Serve<uint8_t*>(host, nullptr, [&](TState&) -> uint8_t* {
    if (!Usable(bitmap) || row < 0 || row >= bitmap->Height) return nullptr;
    bitmap->Row = RowOf(*bitmap, row);
    return bitmap->Row;
  });
}

// --- Level 3 ---------------------------------------------------------------------------

int32_t GetWorkAreaMask(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    std::unique_ptr<TBitmap> mask = SelectionMask(s);
    if (!mask) return 0;
    const TRect r = s.WorkRect(*mask);
    if (!Fits(bitmap, r.Width(), r.Height())) return 0;
    CopyOut(*mask, r, *bitmap);
    return QXL_DONE;
  });
}

int32_t GetResolution(QxlPluginHost* host) noexcept {
  return Serve(host, 0, [](TState& s) {
    TLayeredImage* image = s.Image();
    return image ? int32_t(std::lround(image->ResolutionX * 1000)) : 0;
  });
}

int32_t SetResolution(QxlPluginHost* host, int32_t value) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    // Printing and the image information divide by it.
    if (!image || value <= 0) return 0;
    if (image->ResolutionX != value / 1000.0 || image->ResolutionY != value / 1000.0) s.NoteUnrecorded();
    image->ResolutionX = image->ResolutionY = value / 1000.0;
    return value;
  });
}

int32_t SetSelectionFromMask(QxlPluginHost* host, const QxlBitmap* bitmap, int32_t onLayer) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TNewImgForm* w = s.Services.GetActiveImgForm();
    TLayerItem* layer = onLayer ? s.ActiveLayer() : s.Background();
    if (!w || !layer || layer->Image.Empty() || !Fits(bitmap, layer->Image.Width(), layer->Image.Height())) return 0;
    // Traced from its complement (0 inside); the plug-in's bitmap stays as it is.
    TBitmap mask = TBitmap::Uninitialized(bitmap->Width, bitmap->Height);
    CopyInInverted(*bitmap, mask, GetBitmapRect(mask));
    if (onLayer && !layer->Mask.Empty()) MergeRectMax(layer->Mask, mask, 0, 0, GetBitmapRect(mask));
    // Traced apart first: a mask that selects nothing leaves the selection as it was.
    TShapeManager traced;
    TRect r;
    traced.ShapeFromMask(&mask, 254, r);
    if (r.IsEmpty()) return 0;
    if (onLayer) r = w->Image().LayerRectToImageRect(r);
    TLayerHost& host = s.Services.LayerHost();
    TSelectionControl& sel = w->Selection();
    host.HideSelection();
    sel.Shape = std::move(traced);
    sel.SetShape(ssMultiPoints);
    sel.SetSelectionRect(r);
    sel.SetOutlineInset(false);
    host.EndSelectionMode();
    sel.Show();
    w->SelectionDefined = true;
    s.Services.ShowSelectionRectStatus(*w, r);
    s.Services.UpdateCommandStates();
    return QXL_DONE;
  });
}

void ResnapUndoArea(QxlPluginHost* host, int32_t outRect[4], int32_t left, int32_t top, int32_t right,
                    int32_t bottom) noexcept {
  Serve(host, 0, [&](TState& s) {
    if (outRect) Store(outRect, TRect{});
    TLayerItem* layer = s.BitmapLayer();
    if (!layer) return 0;
    TRect r{left, top, right, bottom};
    ClipRectToBitmap(r, layer->Image);
    // Grown, never shrunk: what the plug-in wrote already stays given back.
    if (r.IsEmpty() || !s.Step() || !s.MayWrite(*layer, &r)) return 0;
    if (outRect) Store(outRect, r);
    return 0;
  });
}

int32_t SetMainWindowState(QxlPluginHost* host, int32_t state) noexcept {
  return Serve(host, 0, [&](TState& s) {
    QWidget* main = s.Services.MainWindow();
    if (state < 0 || state > 4) return -1;
    if (!main) return state;
    switch (state) {
      case 0:
        main->showMinimized();
        s.MainMinimised = true;
        break;
      case 1:
        main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
        main->show();
        s.MainMinimised = false;
        break;
      case 2:
        main->showMaximized();
        s.MainMinimised = false;
        break;
      case 3:
        main->hide();
        s.ShowPluginWindows(false);
        s.MainHidden = true;
        break;
      case 4:
        main->show();
        s.ShowPluginWindows(true);
        s.MainHidden = false;
        break;
    }
    return state;
  });
}

int32_t GetSelectionPoints(QxlPluginHost* host, int32_t* points, int32_t capacity) noexcept {
  return Serve(host, 0, [&](TState& s) {
    if (!s.SelectionShown()) return 0;
    const TSelectionOverlay& sel = *s.Services.LayerHost().ActiveSelection();
    if (sel.ShapeKind == ssMultiPoints) return 0;
    if (sel.ShapeKind < ssPolygon) return EncodeShapeKind(sel.ShapeKind);
    const int count = sel.Shape.GetPointCount();
    for (int i = 0; points && i < std::min(count, capacity); ++i) {
      TPoint p;
      sel.Shape.GetPoint(i, p);
      points[2 * i] = p.X;
      points[2 * i + 1] = p.Y;
    }
    return count;
  });
}

// --- Level 4 ---------------------------------------------------------------------------

void GetLayerRect(QxlPluginHost* host, int32_t outRect[4]) noexcept {
  Serve(host, 0, [&](TState& s) {
    if (!outRect) return 0;
    TLayerItem* layer = s.BitmapLayer();
    Store(outRect, layer ? Bounds(layer->Left, layer->Top, layer->Image.Width(), layer->Image.Height()) : TRect{});
    return 0;
  });
}

int32_t GetLayerBitmap(QxlPluginHost* host, QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.BitmapLayer();
    if (!layer || !Fits(bitmap, layer->Image.Width(), layer->Image.Height())) return 0;
    CopyOut(layer->Image, GetBitmapRect(layer->Image), *bitmap);
    return QXL_DONE;
  });
}

int32_t SetLayerBitmap(QxlPluginHost* host, const QxlBitmap* bitmap) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.BitmapLayer();
    if (!layer || !Fits(bitmap, layer->Image.Width(), layer->Image.Height()) || !s.MayWrite(*layer)) return 0;
    const TRect all = GetBitmapRect(layer->Image);
    CopyIn(*bitmap, layer->Image, all);
    s.Repaint(*layer, all);
    return QXL_DONE;
  });
}

// The active bitmap layer's mask with r: the whole mask, or the work rectangle clipped
// to it.
TLayerItem* MaskLayer(TState& s, bool workArea, TRect& r) {
  TLayerItem* layer = s.BitmapLayer();
  if (!layer || layer->Mask.Empty()) return nullptr;
  r = workArea ? s.WorkRect(layer->Mask) : GetBitmapRect(layer->Mask);
  return r.IsEmpty() ? nullptr : layer;
}

int32_t GetMask(QxlPluginHost* host, QxlBitmap* bitmap, bool workArea) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TRect r;
    TLayerItem* layer = MaskLayer(s, workArea, r);
    if (!layer || !Fits(bitmap, r.Width(), r.Height())) return 0;
    CopyOutInverted(layer->Mask, r, *bitmap);
    return QXL_DONE;
  });
}

int32_t SetMask(QxlPluginHost* host, const QxlBitmap* bitmap, bool workArea) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TRect r;
    TLayerItem* layer = MaskLayer(s, workArea, r);
    if (!layer || !Fits(bitmap, r.Width(), r.Height()) || !s.MayWrite(*layer, &r)) return 0;
    CopyInInverted(*bitmap, layer->Mask, r);
    s.Repaint(*layer, r);
    return QXL_DONE;
  });
}

int32_t GetLayerMask(QxlPluginHost* host, QxlBitmap* bitmap) noexcept { return GetMask(host, bitmap, false); }
int32_t SetLayerMask(QxlPluginHost* host, const QxlBitmap* bitmap) noexcept { return SetMask(host, bitmap, false); }
int32_t GetWorkAreaLayerMask(QxlPluginHost* host, QxlBitmap* bitmap) noexcept { return GetMask(host, bitmap, true); }
int32_t SetWorkAreaLayerMask(QxlPluginHost* host, const QxlBitmap* bitmap) noexcept { return SetMask(host, bitmap, true); }

void SetDisplayOnly(QxlPluginHost* host, int32_t on) noexcept {
  Serve(host, 0, [&](TState& s) {
    TLayeredImage* image = s.Image();
    if (!image || image->SuspendComposition == (on != 0)) return 0;
    if (on) {
      image->UpdatedComposition();
      image->ComposedBitmap();
      image->SuspendComposition = true;
    } else {
      image->SuspendComposition = false;
      s.RepaintAll();
    }
    return 0;
  });
}

int32_t GetImageKind(QxlPluginHost* host) noexcept {
  return Serve(host, 0, [](TState& s) {
    TLayeredImage* image = s.Image();
    if (!image) return 0;
    if (!s.Services.IsActiveImageTrueColor()) return 1;
    if (s.Services.ActiveImageHasAlpha()) return 4;
    return image->GetLayerCount() == 1 ? 2 : 3;
  });
}

int32_t GetLayerPosition(QxlPluginHost* host, int32_t outPoint[2]) noexcept {
  return Serve(host, 0, [&](TState& s) {
    TLayerItem* layer = s.ActiveLayer();
    const bool placed = layer && (layer->LayerType == ltBitmap || layer->LayerType == ltText);
    if (outPoint) {
      outPoint[0] = placed ? layer->Left : 0;
      outPoint[1] = placed ? layer->Top : 0;
    }
    return placed ? QXL_DONE : 0;
  });
}

// --- Version 1: the active layer's rows -------------------------------------------------

uint8_t* LayerRow(void* context, int32_t y) {
  auto* bitmap = static_cast<TBitmap*>(context);
  return bitmap && y >= 0 && y < bitmap->Height() ? bitmap->ScanLine(y) : nullptr;
}

// A fingerprint of a bitmap's pixels (FNV-1a over each row's visible bytes).
uint64_t PixelPrint(const TBitmap& b) {
  uint64_t h = 1469598103934665603ull;
  const size_t bytes = size_t(b.Width()) * 3;
  for (int y = 0; y < b.Height(); ++y) {
    const uint8_t* row = b.ScanLine(y);
    for (size_t i = 0; i < bytes; ++i) h = (h ^ row[i]) * 1099511628211ull;
  }
  return h;
}

}  // namespace

TPluginCall::TPluginCall(TShellServices& services, const TPluginSetup& setup, int level, TLayerRun* change)
    : d_(std::make_unique<TState>(services, setup, change)) {
  TState& s = *d_;
  level = std::clamp(level, QXL_LEVEL_MIN, QXL_LEVEL_MAX);
  if (change && change->Item && change->Step && change->Step->Which != uwImage) {
    s.MaskBefore.Assign(change->Item->Mask);
    s.MaskBeforeTaken = true;
  }
  s.LanguageCode = Tr(TextId::GetTrCode);
  s.LanguageName = Tr(TextId::GetTrLanguage);
  QxlPluginHost& h = s.Record;
  h.Size = sizeof h;
  h.Version = QXL_PLUGIN_API_VERSION;
  h.Image.Size = sizeof h.Image;
  h.DocumentCount = int32_t(services.Windows().Count());
  if (TLayerItem* layer = s.BitmapLayer()) {
    const TRect r = s.WorkRect(layer->Image);
    h.Image.Width = layer->Image.Width();
    h.Image.Height = layer->Image.Height();
    Store(h.Image.WorkRect, r);
    h.Image.Context = &layer->Image;
    h.Image.Row = &LayerRow;
    Store(h.WorkRect, r);
    if (!change) {
      s.LentRows = &layer->Image;
      s.LentPrint = PixelPrint(layer->Image);
    }
  }
  h.Level = level;
  if (TLayeredImage* image = s.Image()) {
    h.ImageOpen = -1;
    h.SelectionActive = s.SelectionShown() ? -1 : 0;
    Store(h.ImageRect, image->ImageRect());
  }
  h.Themed = -1;
  if (QWidget* main = services.MainWindow()) {
    h.MainWidget = main;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) h.MainWindowId = uint64_t(main->winId());
  }
  h.LanguageCode = s.LanguageCode.c_str();
  h.LanguageName = s.LanguageName.c_str();
  h.HostContext = &s;

  h.ShowBusy = &ShowBusy;
  h.HideBusy = &HideBusy;
  h.GetImage = &GetImage;
  h.SetImage = &SetImage;
  h.GetWorkArea = &GetWorkArea;
  h.SetWorkArea = &SetWorkArea;
  h.GetTransparentColor = &GetTransparentColor;
  h.SetTransparentColor = &SetTransparentColor;
  h.GetColorCount = &GetColorCount;
  h.SetColorCount = &SetColorCount;
  h.NewImage = &NewImage;
  h.ShowPluginForm = &ShowPluginForm;
  h.BlendWithBackup = &BlendWithBackup;
  h.StrokeSelection = &StrokeSelection;
  h.GetSelectionMask = &GetSelectionMask;
  h.SetImageSaved = &SetImageSaved;
  h.GetImageFileName = &GetImageFileName;
  h.GetProgramFolder = &GetProgramFolder;
  h.GetOpenFolder = &GetOpenFolder;
  h.GetSaveFolder = &GetSaveFolder;
  h.GetPluginFolder = &GetPluginFolder;
  h.GetSettingsFileName = &GetSettingsFileName;
  h.SetImageFileName = &SetImageFileName;
  h.GetImageByName = &GetImageByName;
  h.DrawImageThumbnail = &DrawImageThumbnail;
  h.DrawNamedImageThumbnail = &DrawNamedImageThumbnail;
  h.EnumImages = &EnumImages;
  if (level >= 2) {
    h.ShowPluginWindow = &ShowPluginWindow;
    h.CreateBitmap = &CreateBitmap;
    h.FreeBitmap = &FreeBitmap;
    h.DetachBitmapHandle = &DetachBitmapHandle;
    h.GetBitmapScanLine = &GetBitmapScanLine;
  }
  if (level >= 3) {
    h.GetWorkAreaMask = &GetWorkAreaMask;
    h.GetResolution = &GetResolution;
    h.SetResolution = &SetResolution;
    h.SetSelectionFromMask = &SetSelectionFromMask;
    h.ResnapUndoArea = &ResnapUndoArea;
    h.SetMainWindowState = &SetMainWindowState;
    h.GetSelectionPoints = &GetSelectionPoints;
  }
  if (level >= 4) {
    h.GetLayerRect = &GetLayerRect;
    h.GetLayerBitmap = &GetLayerBitmap;
    h.SetLayerBitmap = &SetLayerBitmap;
    h.GetLayerMask = &GetLayerMask;
    h.SetLayerMask = &SetLayerMask;
    h.GetWorkAreaLayerMask = &GetWorkAreaLayerMask;
    h.SetWorkAreaLayerMask = &SetWorkAreaLayerMask;
    h.SetDisplayOnly = &SetDisplayOnly;
    h.GetImageKind = &GetImageKind;
    h.GetLayerPosition = &GetLayerPosition;
  }
}

TPluginCall::~TPluginCall() {
  TState& s = *d_;
  s.Record.HostContext = nullptr;
  // Rows written in place by a run without a change: the document still holds that
  // layer when the rows are its active layer's.
  if (s.LentRows) {
    TLayerItem* layer = s.BitmapLayer();
    if (layer && &layer->Image == s.LentRows && PixelPrint(*s.LentRows) != s.LentPrint) s.NoteUnrecorded();
  }
  s.ClearLocks();
  s.Services.EndBusy();
  if (TLayeredImage* image = s.Image(); image && image->SuspendComposition) {
    image->SuspendComposition = false;
    s.RepaintAll();
  }
  if (QWidget* main = s.Services.MainWindow(); main && (s.MainHidden || s.MainMinimised)) {
    main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
    main->show();
  }
}

QxlPluginHost* TPluginCall::Record() { return &d_->Record; }

QWidget* TPluginCall::PluginWindow() const { return d_->WindowForm.data(); }

}  // namespace qm
