#include "devices/VornelTwain.h"

#include <dlfcn.h>
#include <malloc.h>

#include <QEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>


namespace qm {

using namespace twain;

namespace {

constexpr TW_BOOL kTwTrue = 0xFFFF;
constexpr TW_UINT16 kCapMessages[] = {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET};

// The standard's size of one item of an enumeration; 0 for an unknown type. Types 43
// and 44, outside the standard's list, are read like UINT32 and INT16.
size_t ItemSize(TW_UINT16 type) {
  switch (type) {
    case TWTY_INT8: case TWTY_UINT8: return 1;
    case TWTY_INT16: case TWTY_UINT16: case TWTY_BOOL: case 44: return 2;
    case TWTY_INT32: case TWTY_UINT32: case TWTY_FIX32: case 43: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32: return 34;
    case TWTY_STR64: return 66;
    case TWTY_STR128: return 130;
    case TWTY_STR255: return 256;
    case TWTY_STR1024: return 1026;
    case TWTY_UNI512: return 1024;
    default: return 0;
  }
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::string ItemText(TW_UINT16 type, const uint8_t* p, size_t size) {
  switch (type) {
    case TWTY_INT8: return std::to_string(int(Load<int8_t>(p)));
    case TWTY_UINT8: return std::to_string(unsigned(*p));
    case TWTY_INT16: case 44: return std::to_string(Load<int16_t>(p));
    case TWTY_UINT16: case TWTY_BOOL: return std::to_string(Load<uint16_t>(p));
    case TWTY_INT32: return std::to_string(Load<int32_t>(p));
    case TWTY_UINT32: case 43: return std::to_string(Load<uint32_t>(p));
    case TWTY_FIX32: return Fix32ToText(Load<TW_FIX32>(p));
    case TWTY_STR32: case TWTY_STR64: case TWTY_STR128: case TWTY_STR255:
      return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size));
    default: return {};  // frames and the long strings
  }
}

// Bytes a block from malloc may be read through: containers and native images come
// from the source's malloc and carry no size of their own.
size_t BlockSize(const void* p) { return p ? malloc_usable_size(const_cast<void*>(p)) : 0; }

}  // namespace

// --- TTwainIdentity ------------------------------------------------------------------

TTwainIdentity::TTwainIdentity(TVornelTwain* owner) : owner_(owner) {
  std::memset(&record_, 0, sizeof record_);
  SetLanguage(TTwainLanguage::tlUserLocale);
  SetCountryCode(TWCY_USA);
  SetMajorVersion(1);
  SetMinorVersion(0);
  record_.ProtocolMajor = 1;
  record_.ProtocolMinor = 9;
  SetGroups(tgControl | tgImage);
  SetVersionInfo("Application name");
  SetManufacturer("Application manufacturer");
  SetProductFamily("App product family");
  SetProductName("App product name");
}

TTwainGroups TTwainIdentity::Groups() const {
  TTwainGroups g = tgControl;
  if (record_.SupportedGroups & DG_IMAGE) g |= tgImage;
  if (record_.SupportedGroups & DG_AUDIO) g |= tgAudio;
  return g;
}

void TTwainIdentity::SetGroups(TTwainGroups groups) {
  record_.SupportedGroups = DG_CONTROL | ((groups & tgImage) ? DG_IMAGE : 0) | ((groups & tgAudio) ? DG_AUDIO : 0);
}

void TTwainIdentity::WriteText(TW_STR32& field, const std::string& s) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, s.data(), std::min(s.size(), size_t(32)));
}

std::string TTwainIdentity::ReadText(const TW_STR32& field) { return std::string(field, strnlen(field, sizeof field)); }

// --- TTwainSource ----------------------------------------------------------------------

TTwainSource::TTwainSource(TVornelTwain* owner) : TTwainIdentity(owner) { std::memset(&record_, 0, sizeof record_); }

TTwainSource::~TTwainSource() { CloseTwainSource(); }

TW_UINT16 TTwainSource::Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  return Twain().CallManager(&record_, dg, dat, msg, data);
}

TW_UINT16 TTwainSource::ConditionCode() {
  TW_STATUS status{};
  return Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS ? status.ConditionCode : TWCC_BUMMER;
}

void TTwainSource::SetTwainSourceLoaded(bool value) {
  if (value == loaded_) return;
  if (value)
    OpenTwainSource();
  else
    CloseTwainSource();
}

void TTwainSource::SetTwainSourceEnabled(bool value) {
  if (!loaded_ || value == enabled_) return;
  if (value)
    EnableTwainSource(ShowUI, ModalUI);
  else
    DisableTwainSource();
}

bool TTwainSource::OpenTwainSource() {
  if (loaded_) return true;
  if (Twain().CallManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &record_) != TWRC_SUCCESS) return false;
  ++Twain().openSources_;
  loaded_ = true;
  return true;
}

bool TTwainSource::CloseTwainSource() {
  if (!loaded_) return true;
  DisableTwainSource();
  const bool closed = Twain().CallManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &record_) == TWRC_SUCCESS;
  if (closed) --Twain().openSources_;
  loaded_ = false;
  // A closed source is not enabled, even when it refused to be disabled: whoever waits
  // for Enabled to fall must not wait forever.
  enabled_ = false;
  return closed;
}

bool TTwainSource::EnableTwainSource(bool showUI, bool modalUI) {
  if (!loaded_ || enabled_) return enabled_;
  TW_USERINTERFACE ui{};
  ui.ShowUI = showUI ? kTwTrue : 0;
  ui.ModalUI = modalUI ? kTwTrue : 0;
  ui.hParent = Twain().EventWindow();
  enabled_ = true;  // events the source posts while being enabled find it enabled
  const TW_UINT16 rc = Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  if (rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) return true;
  enabled_ = false;
  return false;
}

bool TTwainSource::DisableTwainSource() {
  if (!loaded_ || !enabled_) {
    enabled_ = false;
    return true;
  }
  TW_USERINTERFACE ui{};
  ui.hParent = Twain().EventWindow();
  if (Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) != TWRC_SUCCESS) return false;
  if (Twain().OnSourceDisable) Twain().OnSourceDisable(Twain(), Index);
  enabled_ = false;
  return true;
}

bool TTwainSource::ProcessTwainEvent(QEvent* message) {
  TW_EVENT ev{};
  ev.pEvent = message;
  ev.TWMessage = MSG_NULL;
  if (Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev) != TWRC_DSEVENT) return false;
  switch (ev.TWMessage) {
    case MSG_XFERREADY:
      TransferTwainImages();
      break;
    case MSG_CLOSEDSREQ:
      if (Twain().OnAcquireCancel) Twain().OnAcquireCancel(Twain(), Index);
      DisableTwainSource();
      break;
    case MSG_CLOSEDSOK:
      DisableTwainSource();
      break;
    default:
      break;
  }
  return true;
}

void TTwainSource::TransferTwainImages() {
  TVornelTwain& tw = Twain();
  bool cancel = false;
  std::memset(&ImageInfo, 0, sizeof ImageInfo);
  bool ended = false;
  while (!ended) {
    TW_UINT16 rc = TWRC_FAILURE;
    TW_UINT16 condition = TWCC_SUCCESS;  // set when the failure is the driver's own
    TBitmap bmp;
    TW_SETUPFILEXFER setup{};
    void* native = nullptr;
    switch (TransferMode) {
      case ttmFile:
        if (tw.OnSourceSetupFileXfer) tw.OnSourceSetupFileXfer(tw, Index);
        Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup);
        rc = Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
        break;
      case ttmNative:
        rc = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &native);
        break;
      case ttmMemory:
        rc = PrepareMemoryBitmap(bmp, condition);
        if (rc == TWRC_SUCCESS) rc = TransferStrips(bmp, condition);
        break;
    }
    TW_PENDINGXFERS pending{};
    if (rc == TWRC_CANCEL) {
      if (TransferMode == ttmNative) std::free(native);
      if (tw.OnAcquireCancel) tw.OnAcquireCancel(tw, Index);
      // The source still holds the cancelled transfer (state 7): end it and drop what
      // is pending, or it could not be disabled.
      if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) == TWRC_SUCCESS && pending.Count != 0)
        Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
      ended = true;
    } else if (rc == TWRC_XFERDONE) {
      switch (TransferMode) {
        case ttmMemory:
          if (tw.OnTwainAcquire) tw.OnTwainAcquire(tw, Index, bmp, cancel);
          break;
        case ttmNative:
          DeliverNative(native, cancel);
          break;
        case ttmFile:
          DeliverFile(setup, cancel);
          break;
      }
    } else {
      if (TransferMode == ttmNative) std::free(native);
      if (condition == TWCC_SUCCESS) condition = ConditionCode();
      if (tw.OnAcquireError) tw.OnAcquireError(tw, Index, rc, condition);
    }
    if (!ended) {
      pending = TW_PENDINGXFERS{};
      ended = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS || pending.Count == 0;
    }
    if (!ended && cancel) ended = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending) == TWRC_SUCCESS;
  }
  SetTwainSourceEnabled(false);
  // A source that still refuses to be disabled is closed, so the series always ends
  // with the source disabled.
  if (enabled_) CloseTwainSource();
}

TW_UINT16 TTwainSource::PrepareMemoryBitmap(TBitmap& bmp, TW_UINT16& condition) {
  TW_IMAGEINFO info{};
  const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
  if (rc != TWRC_SUCCESS) return rc;
  ImageInfo = info;
  XPelsPerMeter = YPelsPerMeter = 0;
  // A source may give -1 for a size it does not know: a bitmap of it would be one row
  // or wrap around, so such an image, or one beyond what a bitmap holds, is an error.
  if (!TwainImageFits(info)) {
    condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  const int w = info.ImageWidth, h = info.ImageLength, bpp = info.BitsPerPixel;

  uint8_t offered = 0;
  TTwainUnit unit = tuOther;
  if (GetUnitsCapability(cmGetCurrent, offered, unit) == crSuccess && (unit == tuInches || unit == tuCentimeters)) {
    const double perMetre = unit == tuInches ? 100 / 2.54 : 100;
    XPelsPerMeter = int(std::lround(Fix32ToFloat(info.XResolution) * perMetre));
    YPelsPerMeter = int(std::lround(Fix32ToFloat(info.YResolution) * perMetre));
  }

  std::vector<TColor> palette;
  const size_t levels = bpp < 8 ? size_t(1) << bpp : 256;
  auto greyRamp = [&] {
    palette.resize(levels);
    for (size_t i = 0; i < levels; ++i) {
      const int v = int(i * 255 / (levels - 1));
      palette[i] = RGB(v, v, v);
    }
  };
  if (info.PixelType == TWPT_BW && bpp == 1) {
    TTwainPixelFlavor flavor = tpfChocolate;
    if (GetPixelFlavorCapability(cmGetCurrent, offered, flavor) != crSuccess) flavor = tpfChocolate;
    palette = flavor == tpfVanilla ? std::vector<TColor>{clWhite, clBlack} : std::vector<TColor>{clBlack, clWhite};
  } else if (info.PixelType == TWPT_GRAY || info.PixelType == TWPT_BW) {
    greyRamp();
  } else if (info.PixelType != TWPT_RGB && bpp <= 8) {
    TW_PALETTE8 pal{};
    if (Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &pal) == TWRC_SUCCESS) {
      for (int i = 0; i < std::min<int>(pal.NumColors, int(levels)); ++i)
        palette.push_back(RGB(pal.Colors[i].Channel1, pal.Colors[i].Channel2, pal.Colors[i].Channel3));
    } else {
      greyRamp();
    }
  }
  try {
    // Every row is written by the strips or cleared after them (AssembleTwainStrip):
    // no fill, and no threads woken to make one while SANE's threads read.
    bmp = TBitmap::Uninitialized(w, h, TPixelFormat(bpp));

  } catch (const std::bad_alloc&) {
    condition = TWCC_LOWMEMORY;
    return TWRC_FAILURE;
  }
  if (bpp <= 8 && !palette.empty()) bmp.SetPalette(std::move(palette));
  return TWRC_SUCCESS;
}

TW_UINT16 TTwainSource::TransferStrips(TBitmap& bmp, TW_UINT16& condition) {
  TW_SETUPMEMXFER setup{};
  TW_UINT16 rc = Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  if (rc != TWRC_SUCCESS) {
    bmp = TBitmap();
    return rc;
  }
  // A strip buffer of the size the source prefers, within reason.
  constexpr TW_UINT32 kMaxStrip = 64u << 20;
  const TW_UINT32 preferred = setup.Preferred ? setup.Preferred : setup.MinBufSize;
  const TW_UINT32 size = std::min(preferred, kMaxStrip);
  if (size == 0) {
    condition = TWCC_BADVALUE;
    bmp = TBitmap();
    return TWRC_FAILURE;
  }
  std::vector<uint8_t> buffer(size);
  const bool swap = ImageInfo.PixelType == TWPT_RGB;
  TVornelTwain& tw = Twain();
  int rowsDone = 0;
  std::vector<uint8_t> rowsWritten(size_t(bmp.Height()), 0);
  if (tw.OnAcquireProgress) {
    // The handler may show the bitmap while rows are still missing: they are black.
    std::memset(bmp.Bits(), 0, size_t(bmp.Stride()) * size_t(bmp.Height()));
    rowsWritten.assign(rowsWritten.size(), 1);
  }
  do {
    TW_IMAGEMEMXFER strip;
    std::memset(&strip, 0xFF, sizeof strip);
    strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    strip.Memory.Length = size;
    strip.Memory.TheMem = buffer.data();
    strip.BytesWritten = 0;
    rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) break;
    if (strip.Compression != TWCP_NONE && strip.Compression != TWON_DONTCARE16) {
      condition = TWCC_BADVALUE;  // compressed strips are not ours to decode
      rc = TWRC_FAILURE;
      break;
    }
    const int before = rowsDone;
    rowsDone = AssembleTwainStrip(bmp, strip, buffer.data(), buffer.size(), rowsDone, swap, rowsWritten);
    if (tw.OnAcquireProgress)
      for (int row = before + 1; row <= rowsDone; ++row) tw.OnAcquireProgress(*this, Index, bmp, row, bmp.Height() - 1);
  } while (rc == TWRC_SUCCESS);
  if (rc == TWRC_XFERDONE)
    ClearUnwrittenRows(bmp, rowsWritten);
  else
    bmp = TBitmap();
  return rc;
}

void TTwainSource::DeliverNative(void* handle, bool& cancel) {
  TVornelTwain& tw = Twain();
  TBitmap bmp;
  if (DibToBitmap(static_cast<const uint8_t*>(handle), BlockSize(handle), bmp)) {
    if (tw.OnTwainAcquire) tw.OnTwainAcquire(tw, Index, bmp, cancel);
  } else if (tw.OnAcquireError) {
    tw.OnAcquireError(tw, Index, TWRC_FAILURE, TWCC_BADVALUE);
  }
  std::free(handle);
}

void TTwainSource::DeliverFile(const TW_SETUPFILEXFER& setup, bool& cancel) {
  TVornelTwain& tw = Twain();
  const std::string name(setup.FileName, strnlen(setup.FileName, sizeof setup.FileName));
  const TTwainFormat format = setup.Format <= TWFF_EXIF ? TTwainFormat(setup.Format) : tfUnknown;
  if (tw.OnSourceFileTransfer) tw.OnSourceFileTransfer(tw, Index, name, format, cancel);
  if (!name.empty()) std::remove(name.c_str());
}

TTwainCapResult TTwainSource::GetTwainCapability(uint16_t capability, TTwainCapMode mode, void*& container,
                                                 uint16_t& conType) {
  container = nullptr;
  conType = 0;
  if (!loaded_) return crInvalidState;
  TW_CAPABILITY cap{};
  cap.Cap = capability;
  cap.ConType = TWON_DONTCARE16;
  cap.hContainer = nullptr;
  if (Call(DG_CONTROL, DAT_CAPABILITY, kCapMessages[mode], &cap) == TWRC_SUCCESS) {
    container = cap.hContainer;
    conType = cap.ConType;
    return crSuccess;
  }
  std::free(cap.hContainer);
  switch (ConditionCode()) {
    case TWCC_CAPUNSUPPORTED: return crUnsupported;
    case TWCC_CAPSEQERROR: return crDependencyError;
    case TWCC_LOWMEMORY: return crLowMemory;
    case TWCC_SEQERROR: return crInvalidState;
    default: return crBadOperation;
  }
}

TTwainCapResult TTwainSource::GetEnumerationCapability(uint16_t capability, TTwainCapMode mode,
                                                       TTwainEnumeration& out) {
  out = TTwainEnumeration{};
  void* container = nullptr;
  uint16_t conType = 0;
  const TTwainCapResult r = GetTwainCapability(capability, mode, container, conType);
  if (r != crSuccess) return r;
  const size_t size = BlockSize(container);
  constexpr size_t kHead = offsetof(TW_ENUMERATION, ItemList);
  if (conType != TWON_ENUMERATION || size < kHead) {
    std::free(container);
    return crInvalidContainer;
  }
  const auto* bytes = static_cast<const uint8_t*>(container);
  const TW_ENUMERATION head = Load<TW_ENUMERATION>(bytes);
  out.ItemType = head.ItemType;
  out.CurrentIndex = head.CurrentIndex;
  out.DefaultIndex = head.DefaultIndex;
  const size_t item = ItemSize(head.ItemType);
  // Items the block does not hold are not read.
  const size_t count = item ? std::min<size_t>(head.NumItems, (size - kHead) / item) : 0;
  for (size_t i = 0; i < count; ++i) out.Items.push_back(ItemText(head.ItemType, bytes + kHead + i * item, item));
  std::free(container);
  return crSuccess;
}

TTwainCapResult TTwainSource::ReadUint16Enumeration(uint16_t capability, TTwainCapMode mode, uint8_t& offered,
                                                    int& current) {
  offered = 0;
  current = -1;
  TTwainEnumeration e;
  const TTwainCapResult r = GetEnumerationCapability(capability, mode, e);
  if (r != crSuccess) return r;
  if (e.ItemType != TWTY_UINT16) return crUnsupported;
  for (const std::string& s : e.Items) {
    const int v = std::atoi(s.c_str());
    if (v >= 0 && v < 8) offered |= uint8_t(1u << v);
  }
  const uint32_t at = mode == cmGetDefault ? e.DefaultIndex : e.CurrentIndex;
  if (at < e.Items.size()) current = std::atoi(e.Items[at].c_str());
  return crSuccess;
}

TTwainCapResult TTwainSource::GetUnitsCapability(TTwainCapMode mode, uint8_t& offered, TTwainUnit& current) {
  int v = -1;
  const TTwainCapResult r = ReadUint16Enumeration(ICAP_UNITS, mode, offered, v);
  current = v >= TWUN_INCHES && v <= TWUN_PIXELS ? TTwainUnit(v) : tuOther;
  return r;
}

TTwainCapResult TTwainSource::GetPixelFlavorCapability(TTwainCapMode mode, uint8_t& offered,
                                                       TTwainPixelFlavor& current) {
  int v = -1;
  const TTwainCapResult r = ReadUint16Enumeration(ICAP_PIXELFLAVOR, mode, offered, v);
  current = v == TWPF_CHOCOLATE ? tpfChocolate : v == TWPF_VANILLA ? tpfVanilla : tpfOther;
  return r;
}

// --- The event object ------------------------------------------------------------------

TTwainEventWindow::TTwainEventWindow(TVornelTwain* twain) : twain_(twain) {
  setObjectName(QStringLiteral("Vornel Twain virtual window"));
}

bool TTwainEventWindow::event(QEvent* e) { return TwainWindowProc(e) || QObject::event(e); }

bool TTwainEventWindow::TwainWindowProc(QEvent* e) {
  if (!twain_ || twain_->openSources_ < 1) return false;
  for (int i = 0; i < twain_->sources_.Count(); ++i) {
    TTwainSource* s = twain_->SourceAt(i);
    if (s && s->Loaded() && s->Enabled() && s->ProcessTwainEvent(e)) return true;
  }
  return false;
}

// --- TVornelTwain ----------------------------------------------------------------------

TVornelTwain::TVornelTwain() : info_(this), window_(this) {}

TVornelTwain::~TVornelTwain() {
  SetLibraryLoaded(false);
  ClearTwainSourceList();
}

TW_UINT16 TVornelTwain::CallManager(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  if (!entry_) return TWRC_FAILURE;
  return entry_(&info_.Record(), dest, dg, dat, msg, data);
}

void TVornelTwain::SetLibraryLoaded(bool value) {
  if (value == libraryLoaded_) return;
  if (value)
    LoadTwainLibrary();
  else
    UnloadTwainLibrary();
}

void TVornelTwain::SetSourceManagerLoaded(bool value) {
  if (!libraryLoaded_ || value == managerLoaded_) return;
  if (value)
    OpenTwainSourceManager();
  else
    CloseTwainSourceManager(false);
}

bool TVornelTwain::LoadTwainLibrary() {
  if (libraryLoaded_) return true;
  const std::string path = LibraryFolder + "/" + kTwainManagerFileName;
  if (LibraryFolder.empty() || !TwainFileExists(path)) return false;
  // The module stays mapped after it is released: events it posted may still be in
  // the queue, and they carry its code.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module) return false;
  auto entry = reinterpret_cast<DSMENTRYPROC>(::dlsym(module, "DSM_Entry"));
  if (!entry) {
    ::dlclose(module);
    return false;
  }
  module_ = module;
  entry_ = entry;
  libraryLoaded_ = true;
  return true;
}

void TVornelTwain::UnloadTwainLibrary() {
  if (!libraryLoaded_) return;
  SetSourceManagerLoaded(false);
  if (::dlclose(module_) != 0) return;
  managerLoaded_ = false;  // a manager that refused to close is gone with its module
  module_ = nullptr;
  entry_ = nullptr;
  libraryLoaded_ = false;
}

bool TVornelTwain::OpenTwainSourceManager() {
  if (!libraryLoaded_ || managerLoaded_) return managerLoaded_;
  void* handle = EventWindow();
  if (CallManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &handle) != TWRC_SUCCESS) return false;
  managerLoaded_ = true;
  return true;
}

bool TVornelTwain::CloseTwainSourceManager(bool skipClose) {
  if (libraryLoaded_ && managerLoaded_) {
    ClearTwainSourceList();
    if (skipClose) return true;
    void* handle = EventWindow();
    if (CallManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &handle) != TWRC_SUCCESS) return false;
  }
  managerLoaded_ = false;
  return true;
}

void TVornelTwain::ClearTwainSourceList() {
  for (int i = 0; i < sources_.Count(); ++i) delete SourceAt(i);
  sources_.Clear();
  enumerated_ = false;
}

void TVornelTwain::EnumerateTwainSources() {
  ClearTwainSourceList();
  auto* source = new TTwainSource(this);
  source->TransferMode = TransferMode;
  source->Index = 0;
  TW_UINT16 rc = CallManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source->Record());
  while (rc == TWRC_SUCCESS) {
    sources_.Add(source);
    source = new TTwainSource(this);
    source->TransferMode = TransferMode;
    source->Index = sources_.Count();
    rc = CallManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &source->Record());
  }
  enumerated_ = true;
  delete source;
}

int TVornelTwain::SourceCount() {
  if (!libraryLoaded_ || !managerLoaded_) return 0;
  if (!enumerated_) EnumerateTwainSources();
  return sources_.Count();
}

int TVornelTwain::FindTwainSourceIndex(const TW_IDENTITY& identity) {
  if (!enumerated_) EnumerateTwainSources();
  for (int i = 0; i < sources_.Count(); ++i)
    if (std::memcmp(&SourceAt(i)->Record(), &identity, sizeof identity) == 0) return i;
  return -1;
}

int TVornelTwain::GetDefaultTwainSourceIndex() {
  if (!libraryLoaded_ || !managerLoaded_) return 0;
  TW_IDENTITY identity;
  std::memset(&identity, 0, sizeof identity);
  if (CallManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &identity) != TWRC_SUCCESS) return 0;
  return std::max(FindTwainSourceIndex(identity), 0);
}

TTwainSource* TVornelTwain::GetTwainSource(int index) {
  if (!libraryLoaded_ || !managerLoaded_) return nullptr;
  const int count = SourceCount();
  if (index >= 0 && index < count) return SourceAt(index);
  if (index == -1 && count > 0) return SourceAt(GetDefaultTwainSourceIndex());
  return nullptr;
}

int TVornelTwain::SelectTwainSource() {
  if (!libraryLoaded_ || !managerLoaded_ || choosing_) return -1;
  choosing_ = true;
  TW_IDENTITY identity;
  std::memset(&identity, 0, sizeof identity);
  int result = -1;
  if (CallManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &identity) == TWRC_SUCCESS)
    result = FindTwainSourceIndex(identity);
  choosing_ = false;
  return result;
}

}  // namespace qm
