#pragma once
// The TWAIN driver: a component that loads the data source manager, opens it, lists
// its sources, shows its chooser, opens, enables, disables and closes a source, routes
// the events the sources post to a hidden event object, and carries out the image
// transfers (memory, native or file), handing each image to its owner through
// OnTwainAcquire.
//
// Protocol states and their flags: manager module loaded (LibraryLoaded, state 2),
// manager open (SourceManagerLoaded, 3), source open (Loaded, 4), source enabled
// (Enabled, 5 to 7). Every "off" transition first takes down the states above it.
//
// GUI thread only. Transfers run inside the event object's handler, that is inside
// whatever event loop dispatched the source's event.
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devices/TwainApi.h"
#include "devices/VornelTwainUtils.h"
#include "platform/core/Bitmap.h"

class QEvent;

namespace qm {

class TVornelTwain;
class TTwainSource;

enum TTwainTransferMode : uint8_t { ttmFile = 0, ttmNative = 1, ttmMemory = 2 };

// Bits of a set of TWAIN groups; tgControl is always part of it.
enum TTwainGroup : uint8_t { tgControl = 1, tgImage = 2, tgAudio = 4 };
using TTwainGroups = uint8_t;

// The standard's TWLG codes, each value its code.
enum class TTwainLanguage : int16_t {
  tlUserLocale = -1, tlDanish, tlDutch, tlEnglish, tlFrenchCanadian, tlFinnish, tlFrench, tlGerman, tlIcelandic,
  tlItalian, tlNorwegian, tlPortuguese, tlSpanish, tlSwedish, tlEnglishUSA, tlAfrikaans, tlAlbania, tlArabic,
  tlArabicAlgeria, tlArabicBahrain, tlArabicEgypt, tlArabicIraq, tlArabicJordan, tlArabicKuwait, tlArabicLebanon,
  tlArabicLibya, tlArabicMorocco, tlArabicOman, tlArabicQatar, tlArabicSaudiArabia, tlArabicSyria, tlArabicTunisia,
  tlArabicUAE, tlArabicYemen, tlBasque, tlByelorussian, tlBulgarian, tlCatalan, tlChinese, tlChineseHongKong,
  tlChinesePRC, tlChineseSingapore, tlChineseSimplified, tlChineseTaiwan, tlChineseTraditional, tlCroatia, tlCzech,
  tlDutchBelgian, tlEnglishAustralian, tlEnglishCanadian, tlEnglishIreland, tlEnglishNewZealand,
  tlEnglishSouthAfrica, tlEnglishUK, tlEstonian, tlFaeroese, tlFarsi, tlFrenchBelgian, tlFrenchLuxembourg,
  tlFrenchSwiss, tlGermanAustrian, tlGermanLuxembourg, tlGermanLiechtenstein, tlGermanSwiss, tlGreek, tlHebrew,
  tlHungarian, tlIndonesian, tlItalianSwiss, tlJapanese, tlKorean, tlKoreanJohab, tlLatvian, tlLithuanian,
  tlNorwegianBokmal, tlNorwegianNynorsk, tlPolish, tlPortugueseBrazil, tlRomanian, tlRussian, tlSerbianLatin,
  tlSlovak, tlSlovenian, tlSpanishMexican, tlSpanishModern, tlThai, tlTurkish, tlUkranian, tlAssamese, tlBengali,
  tlBihari, tlBodo, tlDogri, tlGujarati, tlHaryanvi, tlHindi, tlKannada, tlKashmiri, tlMalayalam, tlMarathi,
  tlMarwari, tlMeghalayan, tlMizo, tlNaga, tlOrissi, tlPunjabi, tlPushtu, tlSerbianCyrillic, tlSikkimi,
  tlSwedishFinland, tlTamil, tlTelugu, tlTripuri, tlUrdu, tlVietnamese
};

// The TWFF file formats 0..9, then any other code.
enum TTwainFormat : uint8_t {
  tfTIFF, tfPICT, tfBMP, tfXBM, tfJFIF, tfFPX, tfTIFFMulti, tfPNG, tfSPIFF, tfEXIF, tfUnknown
};

// Results of the capability readers.
enum TTwainCapResult : uint8_t {
  crSuccess = 0, crUnsupported = 1, crBadOperation = 2, crDependencyError = 3, crLowMemory = 4,
  crInvalidState = 5, crInvalidContainer = 6
};
enum TTwainCapMode : uint8_t { cmGet, cmGetCurrent, cmGetDefault, cmReset };
enum TTwainUnit : uint8_t { tuInches, tuCentimeters, tuPicas, tuPoints, tuTwips, tuPixels, tuOther };
enum TTwainPixelFlavor : uint8_t { tpfChocolate, tpfVanilla, tpfOther };

// What the enumeration reader passes out: the item type, the current and default
// indices and every item as text.
struct TTwainEnumeration {
  uint16_t ItemType = 0;
  uint32_t CurrentIndex = 0;
  uint32_t DefaultIndex = 0;
  std::vector<std::string> Items;
};

// Events. Index is always the source's position in the source list. The image of
// OnTwainAcquire is freed when the handler returns: a handler that keeps it moves or
// copies it. The file of OnSourceFileTransfer is a temporary file the source wrote:
// it is deleted when the handler returns, so a handler that keeps it moves it.
using TOnTwainError = std::function<void(TVornelTwain& sender, int index, int errorCode, int additional)>;
using TOnTwainAcquire = std::function<void(TVornelTwain& sender, int index, TBitmap& image, bool& cancel)>;
using TOnAcquireProgress =
    std::function<void(TTwainSource& sender, int index, const TBitmap& image, int current, int total)>;
using TOnSourceNotify = std::function<void(TVornelTwain& sender, int index)>;
using TOnSourceFileTransfer = std::function<void(TVornelTwain& sender, int index, const std::string& fileName,
                                                 TTwainFormat format, bool& cancel)>;

// One TW_IDENTITY record. The four texts hold at most 32 characters.
class TTwainIdentity {
 public:
  // A zero-filled record with the application defaults: user locale, country 1,
  // version 1.0, protocol 1.9, groups control and image, and placeholder texts.
  explicit TTwainIdentity(TVornelTwain* owner = nullptr);
  virtual ~TTwainIdentity() = default;
  TTwainIdentity(const TTwainIdentity&) = delete;
  TTwainIdentity& operator=(const TTwainIdentity&) = delete;

  // Copies the whole record.
  virtual void Assign(const TTwainIdentity& source) { record_ = source.record_; }

  int MajorVersion() const { return record_.Version.MajorNum; }
  void SetMajorVersion(int v) { record_.Version.MajorNum = twain::TW_UINT16(v); }
  int MinorVersion() const { return record_.Version.MinorNum; }
  void SetMinorVersion(int v) { record_.Version.MinorNum = twain::TW_UINT16(v); }
  TTwainLanguage Language() const { return TTwainLanguage(int16_t(record_.Version.Language)); }
  void SetLanguage(TTwainLanguage l) { record_.Version.Language = twain::TW_UINT16(int16_t(l)); }
  int CountryCode() const { return record_.Version.Country; }
  void SetCountryCode(int v) { record_.Version.Country = twain::TW_UINT16(v); }
  TTwainGroups Groups() const;
  void SetGroups(TTwainGroups groups);
  std::string VersionInfo() const { return ReadText(record_.Version.Info); }
  void SetVersionInfo(const std::string& s) { WriteText(record_.Version.Info, s); }
  std::string Manufacturer() const { return ReadText(record_.Manufacturer); }
  void SetManufacturer(const std::string& s) { WriteText(record_.Manufacturer, s); }
  std::string ProductFamily() const { return ReadText(record_.ProductFamily); }
  void SetProductFamily(const std::string& s) { WriteText(record_.ProductFamily, s); }
  std::string ProductName() const { return ReadText(record_.ProductName); }
  void SetProductName(const std::string& s) { WriteText(record_.ProductName, s); }

  twain::TW_IDENTITY& Record() { return record_; }
  const twain::TW_IDENTITY& Record() const { return record_; }
  TVornelTwain* Owner() const { return owner_; }

  // A TW_STR32 field: writing zero-fills it and keeps at most 32 characters, so a
  // terminating zero always remains; reading stops at the first zero.
  static void WriteText(twain::TW_STR32& field, const std::string& s);
  static std::string ReadText(const twain::TW_STR32& field);

 protected:
  twain::TW_IDENTITY record_;
  TVornelTwain* owner_;
};

// A data source; its record is the identity the manager reports.
class TTwainSource : public TTwainIdentity {
 public:
  explicit TTwainSource(TVornelTwain* owner);
  // Closes the source first.
  ~TTwainSource() override;

  int Index = 0;
  TTwainTransferMode TransferMode = ttmMemory;
  bool ShowUI = true;
  bool ModalUI = true;
  // The TW_IMAGEINFO of the last memory transfer; cleared when a series starts.
  twain::TW_IMAGEINFO ImageInfo{};
  // The resolution of the last memory transfer's bitmap in pixels per metre, from the
  // image information and the source's units (0 when unknown).
  int XPelsPerMeter = 0;
  int YPelsPerMeter = 0;

  // Open (state 4): true opens, false closes (closing always ends Loaded).
  bool Loaded() const { return loaded_; }
  void SetTwainSourceLoaded(bool value);
  // Enabled (states 5 to 7): only while Loaded. A source that refuses to be enabled
  // leaves it false, so a caller waiting for it to fall is never held.
  bool Enabled() const { return enabled_; }
  void SetTwainSourceEnabled(bool value);

  // Offers one event to the source; true when it was the source's.
  bool ProcessTwainEvent(QEvent* message);
  // All pending transfers, started by MSG_XFERREADY.
  void TransferTwainImages();

  // DG_CONTROL / DAT_CAPABILITY with the message of the mode. On success the container
  // (malloc'd, to be freed by the caller) and its type are passed out.
  TTwainCapResult GetTwainCapability(uint16_t capability, TTwainCapMode mode, void*& container, uint16_t& conType);
  // The capability as a TW_ENUMERATION, every item as text; the container is freed.
  TTwainCapResult GetEnumerationCapability(uint16_t capability, TTwainCapMode mode, TTwainEnumeration& out);
  // ICAP_UNITS and ICAP_PIXELFLAVOR: the offered values below 8 as bits of `offered`
  // and the current item (the default item in default mode).
  TTwainCapResult GetUnitsCapability(TTwainCapMode mode, uint8_t& offered, TTwainUnit& current);
  TTwainCapResult GetPixelFlavorCapability(TTwainCapMode mode, uint8_t& offered, TTwainPixelFlavor& current);

 private:
  friend class TVornelTwain;
  bool OpenTwainSource();
  bool CloseTwainSource();
  bool EnableTwainSource(bool showUI, bool modalUI);
  bool DisableTwainSource();
  twain::TW_UINT16 Call(twain::TW_UINT32 dg, twain::TW_UINT16 dat, twain::TW_UINT16 msg, void* data);
  twain::TW_UINT16 ConditionCode();
  twain::TW_UINT16 PrepareMemoryBitmap(TBitmap& bmp, twain::TW_UINT16& condition);
  twain::TW_UINT16 TransferStrips(TBitmap& bmp, twain::TW_UINT16& condition);
  TTwainCapResult ReadUint16Enumeration(uint16_t capability, TTwainCapMode mode, uint8_t& offered, int& current);
  void DeliverNative(void* handle, bool& cancel);
  void DeliverFile(const twain::TW_SETUPFILEXFER& setup, bool& cancel);
  TVornelTwain& Twain() { return *owner_; }

  bool loaded_ = false;
  bool enabled_ = false;
};

// The hidden event object of a component: the sources post their events to it, and
// its handler offers each event to the enabled sources.
class TTwainEventWindow : public QObject {
 public:
  explicit TTwainEventWindow(TVornelTwain* twain);
  bool event(QEvent* e) override;
  // Offers the event to each open and enabled source in list order; true when one
  // took it.
  bool TwainWindowProc(QEvent* e);

 private:
  TVornelTwain* twain_;
};

class TVornelTwain {
 public:
  TVornelTwain();
  // Unloads the manager (closing it and every source).
  ~TVornelTwain();
  TVornelTwain(const TVornelTwain&) = delete;
  TVornelTwain& operator=(const TVornelTwain&) = delete;

  TOnSourceNotify OnSourceDisable;
  TOnSourceNotify OnAcquireCancel;
  TOnTwainAcquire OnTwainAcquire;
  TOnSourceNotify OnSourceSetupFileXfer;
  TOnSourceFileTransfer OnSourceFileTransfer;
  TOnTwainError OnAcquireError;
  TOnAcquireProgress OnAcquireProgress;
  // The mode new sources take when they are listed.
  TTwainTransferMode TransferMode = ttmMemory;
  // The folder the manager (kTwainManagerFileName) is loaded from.
  std::string LibraryFolder = DefaultTwainLibraryFolder();

  // The application's identity, the origin of every call.
  TTwainIdentity& Info() { return info_; }
  void SetInfo(const TTwainIdentity& info) { info_.Assign(info); }

  bool LibraryLoaded() const { return libraryLoaded_; }
  void SetLibraryLoaded(bool value);
  bool SourceManagerLoaded() const { return managerLoaded_; }
  void SetSourceManagerLoaded(bool value);

  // 0 unless the manager is open; the sources are listed on first use.
  int SourceCount();
  // A source by its index; -1 gives the manager's default source. Null unless the
  // manager is open, and for any other index.
  TTwainSource* GetTwainSource(int index);
  // The manager's chooser: the chosen source's index, or -1 when cancelled, when the
  // manager is not open or while a chooser is showing.
  int SelectTwainSource();
  // Frees every source and, unless skipClose, closes the manager: false when it
  // refused to close.
  bool CloseTwainSourceManager(bool skipClose);

  bool LoadTwainLibrary();
  void UnloadTwainLibrary();
  int FindTwainSourceIndex(const twain::TW_IDENTITY& identity);
  int GetDefaultTwainSourceIndex();

  // The manager's entry point with the application's identity as origin.
  twain::TW_UINT16 CallManager(twain::TW_IDENTITY* dest, twain::TW_UINT32 dg, twain::TW_UINT16 dat,
                               twain::TW_UINT16 msg, void* data);
  QObject* EventWindow() { return &window_; }
  int OpenSourceCount() const { return openSources_; }

 private:
  friend class TTwainSource;
  friend class TTwainEventWindow;
  bool OpenTwainSourceManager();
  void EnumerateTwainSources();
  void ClearTwainSourceList();
  TTwainSource* SourceAt(int index) const { return static_cast<TTwainSource*>(sources_.Get(index)); }

  TTwainIdentity info_;
  TTwainEventWindow window_;
  TPointerList sources_;  // owned TTwainSource
  int openSources_ = 0;
  bool choosing_ = false;
  bool enumerated_ = false;
  bool libraryLoaded_ = false;
  bool managerLoaded_ = false;
  void* module_ = nullptr;
  twain::DSMENTRYPROC entry_ = nullptr;
};

}  // namespace qm
