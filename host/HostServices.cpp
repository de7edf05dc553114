#include "host/HostServices.h"

#include <algorithm>
#include <cstring>

#include "host/ColourConversion.h"
#include "host/Failure.h"
#include "host/PathRecords.h"
#include "platform/DeviceContext.h"

namespace host {

namespace {

constexpr uint32_t kHostSig = HOST_FOURCC('T', 's', 'l', 'y');
// The interface's code for a property the host does not have.
constexpr HostError kPropertyUnknown = -30901;
// A plug-in that keeps asking for pieces forever is stopped after this many.
constexpr int kMaxContinueCalls = 10'000'000;

// Filter cases of the interface (1-based): flat image with and without a
// selection, and a layer whose transparency is edited.
enum : int16_t { kCaseFlat = 1, kCaseFlatSelection = 2, kCaseEditableTransparency = 4, kCaseEditableTransparencySelection = 5 };

HostRect toRect(const Document::Bounds& b) {
  return {static_cast<int16_t>(b.top), static_cast<int16_t>(b.left), static_cast<int16_t>(b.bottom),
          static_cast<int16_t>(b.right)};
}


const char* const* channelNames(int16_t mode) {
  static const char* const grey[] = {"Grey"};
  static const char* const rgb[] = {"Red", "Green", "Blue"};
  static const char* const cmyk[] = {"Cyan", "Magenta", "Yellow", "Black"};
  static const char* const lab[] = {"Lightness", "a", "b"};
  switch (mode) {
    case kModeGrey: return grey;
    case kModeCMYK: return cmyk;
    case kModeLab: return lab;
    default: return rgb;
  }
}

}  // namespace

// The plug-in's context is a platform device context: the pixels go into
// its framebuffer through its origin and clip.
static HostError drawIntoDeviceContext(void* context, const DisplayedPixels& pixels) {
  if (context == nullptr) return kHostFilterBadParameters;
  auto* dc = static_cast<platform::DeviceContext*>(context);
  const platform::Rect area{pixels.area.left, pixels.area.top, pixels.area.right, pixels.area.bottom};
  dc->setPixelsRgb24(area, pixels.rgb.data(), static_cast<ptrdiff_t>(area.width()) * 3);
  return kHostNoError;
}

HostServices::HostServices() : drawer_(drawIntoDeviceContext) {
  propertyProcs_.version = 1;
  propertyProcs_.count = 2;
  propertyProcs_.getPropertyProc = getProperty;
  propertyProcs_.setPropertyProc = setProperty;
  channelPortProcs_.version = 1;
  channelPortProcs_.count = 1;
  channelPortProcs_.readPixelsProc = readPixels;
}

HostServices::~HostServices() {
  if (active_ == this) active_ = nullptr;
}

void HostServices::beginCall(Document& doc) {
  document_ = &doc;
  active_ = this;
  memory_.makeActive();
  advanceCount_ = 0;
}

void HostServices::endCall() {
  releaseStreams();
  memory_.freeLeftovers();
  HostMemory::clearActive();
  active_ = nullptr;
  document_ = nullptr;
  failAdvanceAt_ = 0;
  ports_.clear();
  channels_.clear();
}

int16_t HostServices::callEntry(const Plugin& plugin, int16_t selector, void* block) {
  int32_t data = 0;
  int16_t result = 0;
  plugin.entry(selector, block, &data, &result);
  return result;
}

int16_t HostServices::runAbout(const Plugin& plugin) {
  if (plugin.entry == nullptr) throw Failure(plugin.menuPath() + ": the plug-in has no entry point");
  return callEntry(plugin, 0, nullptr);
}

// ---- Document information and channel ports ----------------------------

void HostServices::setUpDocumentInfo(Document& doc) {
  ports_.clear();
  channels_.clear();
  auto channel = [&](Plane& plane, const char* name, bool target) {
    ports_.push_back({&plane, doc.width(), doc.height()});
    ReadChannelDesc d{};
    d.port = &ports_.back();
    d.bounds = {0, 0, doc.height(), doc.width()};
    d.depth = 8;
    d.target = target ? 1 : 0;
    d.shown = 1;
    d.name = name;
    channels_.push_back(d);
    return &channels_.back();
  };
  auto chain = [](std::vector<ReadChannelDesc*>& list) {
    for (size_t i = 0; i + 1 < list.size(); ++i) list[i]->next = list[i + 1];
    return list.empty() ? nullptr : list.front();
  };

  documentInfo_ = {};
  documentInfo_.version = 0;
  documentInfo_.bounds = {0, 0, doc.height(), doc.width()};
  documentInfo_.imageMode = doc.mode();
  documentInfo_.depth = 8;
  const Target& t = doc.target;
  std::vector<ReadChannelDesc*> composite;
  for (int c = 0; c < doc.colourCount(); ++c)
    composite.push_back(channel(doc.colour(c), channelNames(doc.mode())[c],
                                t.kind == Target::Composite || (t.kind == Target::Colour && t.colour == c)));
  documentInfo_.targetCompositeChannels = chain(composite);
  if (doc.transparency)
    documentInfo_.targetTransparency = channel(*doc.transparency, "Transparency", t.kind == Target::Transparency);
  if (doc.layerMask) documentInfo_.targetLayerMask = channel(*doc.layerMask, "Layer Mask", t.kind == Target::LayerMask);
  std::vector<ReadChannelDesc*> alphas;
  for (AlphaChannel& a : doc.alphas)
    alphas.push_back(channel(a.data, a.name.c_str(), t.kind == Target::Alpha && t.alphaName == a.name));
  if (doc.quickMask) alphas.push_back(channel(*doc.quickMask, "Quick Mask", t.kind == Target::QuickMask));
  documentInfo_.alphaChannels = chain(alphas);
  if (doc.selection) documentInfo_.selection = channel(*doc.selection, "Selection", false);
}

HostError HostServices::readPixels(HostChannelReadPort port, const HostScalingInfo* scaling,
                                   const HostRect32* writeRect, const HostPixelMemoryDesc* destination,
                                   HostRect32* wroteRect) {
  HostServices* s = active_;
  if (s == nullptr || writeRect == nullptr || destination == nullptr || destination->data == nullptr)
    return kHostFilterBadParameters;
  const bool known = std::any_of(s->ports_.begin(), s->ports_.end(),
                                 [&](const HostChannelPort& p) { return &p == port; });
  if (!known) return kHostFilterBadParameters;
  if (destination->depth != 8 || destination->colBits % 8 != 0 || destination->colBits < 8 ||
      destination->rowBits % 8 != 0 || destination->bitOffset % 8 != 0)
    return kHostFilterBadParameters;
  const HostRect32 dst = *writeRect;
  const int64_t width = int64_t{dst.right} - dst.left, height = int64_t{dst.bottom} - dst.top;
  const int64_t colBytes = destination->colBits / 8, rowBytes = destination->rowBits / 8;
  if (width < 0 || height < 0 || (height > 0 && rowBytes < width * colBytes)) return kHostFilterBadParameters;
  // Without a scaling the source is the rectangle written.
  const HostRect32 src = scaling != nullptr ? scaling->sourceRect : dst;
  const HostRect32 scaledDst = scaling != nullptr ? scaling->destinationRect : dst;
  const int64_t srcW = int64_t{src.right} - src.left, srcH = int64_t{src.bottom} - src.top;
  const int64_t sdW = int64_t{scaledDst.right} - scaledDst.left, sdH = int64_t{scaledDst.bottom} - scaledDst.top;
  if (srcW <= 0 || srcH <= 0 || sdW <= 0 || sdH <= 0) {
    if (wroteRect != nullptr) *wroteRect = {dst.top, dst.left, dst.top, dst.left};
    return width == 0 || height == 0 ? kHostNoError : kHostFilterBadParameters;
  }
  auto* out = static_cast<uint8_t*>(destination->data) + destination->bitOffset / 8;
  const Plane& plane = *port->plane;
  for (int64_t y = 0; y < height; ++y) {
    const int64_t sy = src.top + (dst.top + y - scaledDst.top) * srcH / sdH;
    uint8_t* row = out + y * rowBytes;
    for (int64_t x = 0; x < width; ++x) {
      const int64_t sx = src.left + (dst.left + x - scaledDst.left) * srcW / sdW;
      const bool inside = sy >= 0 && sy < port->height && sx >= 0 && sx < port->width;
      row[x * colBytes] = inside ? plane[static_cast<size_t>(sy * port->width + sx)] : 0;
    }
  }
  if (wroteRect != nullptr) *wroteRect = dst;
  return kHostNoError;
}

// ---- Properties, colour and display --------------------------------------

HostError HostServices::getProperty(uint32_t, uint32_t key, int32_t, intptr_t* simple, void** complex) {
  HostServices* s = active_;
  if (complex != nullptr) *complex = nullptr;
  if (s == nullptr || s->document_ == nullptr || simple == nullptr) return kPropertyUnknown;
  if (key == kHostPropImageMode) {
    *simple = s->document_->mode();
    return kHostNoError;
  }
  return kPropertyUnknown;
}

HostError HostServices::setProperty(uint32_t, uint32_t key, int32_t, intptr_t, void*) {
  // The host does not time its plug-ins, so suspending the watch changes nothing.
  return key == kHostPropWatchSuspension ? HostError{kHostNoError} : kPropertyUnknown;
}

HostError HostServices::colourServices(HostColourServicesInfo* info) {
  if (info == nullptr || info->infoSize < static_cast<int32_t>(sizeof(HostColourServicesInfo)))
    return kHostFilterBadParameters;
  if (info->selector != kHostColourServicesConvert) return kHostFilterBadParameters;
  if (!convertColour(info->sourceSpace, info->resultSpace, info->colourComponents)) return kHostFilterBadParameters;
  info->resultGamutInfoValid = 0;
  return kHostNoError;
}

// ---- The filter -----------------------------------------------------------

void HostServices::setUpFilterRecord(const Plugin& filter, Document& doc) {
  (void)filter;
  FilterRecord& r = filter_;
  r = {};
  r.serialNumber = 0;
  r.abortProc = testAbort;
  r.progressProc = progress;
  r.imageSize = {static_cast<int16_t>(doc.height()), static_cast<int16_t>(doc.width())};
  r.planes = static_cast<int16_t>(streamPlanes_.size());
  r.filterRect = toRect(doc.selectionBounds());
  r.imageMode = doc.mode();
  r.maxSpace = static_cast<int32_t>(std::min<int64_t>(memory_.limit(), INT32_MAX));
  r.isFloating = 0;
  r.haveMask = doc.selection ? 1 : 0;
  r.autoMask = 1;
  r.hostSig = kHostSig;
  const bool transparency = doc.target.kind == Target::Transparency;
  r.filterCase = transparency ? (doc.selection ? kCaseEditableTransparencySelection : kCaseEditableTransparency)
                              : (doc.selection ? kCaseFlatSelection : kCaseFlat);
  r.bufferProcs = memory_.bufferProcs();
  r.handleProcs = memory_.handleProcs();
  r.processEvent = processEvent;
  r.displayPixels = displayPixels;
  r.advanceState = advanceStateProc;
  r.colorServices = colourServices;
  r.supportsAbsolute = 1;
  r.getPropertyObsolete = getProperty;
  r.supportsPadding = 1;
  r.inputRate = r.maskRate = 0x00010000;
  const Document::PlaneCounts target = doc.targetCounts();
  r.inLayerPlanes = r.outLayerPlanes = target.layerPlanes;
  r.inTransparencyMask = r.outTransparencyMask = target.transparencyMask;
  r.inLayerMasks = r.outLayerMasks = target.layerMasks;
  r.inInvertedLayerMasks = r.outInvertedLayerMasks = target.invertedLayerMasks;
  r.inNonLayerPlanes = r.outNonLayerPlanes = target.nonLayerPlanes;
  const Document::PlaneCounts all = doc.absoluteCounts();
  r.absLayerPlanes = all.layerPlanes;
  r.absTransparencyMask = all.transparencyMask;
  r.absLayerMasks = all.layerMasks;
  r.absInvertedLayerMasks = all.invertedLayerMasks;
  r.absNonLayerPlanes = all.nonLayerPlanes;
  r.propertyProcs = &propertyProcs_;
  r.channelPortProcs = &channelPortProcs_;
  r.documentInfo = &documentInfo_;
}

int16_t HostServices::runFilter(const Plugin& filter, Document& doc) {
  if (filter.entry == nullptr) throw Failure(filter.menuPath() + ": the plug-in has no entry point");
  if (!filter.pipl.allowsMode(doc.mode()))
    throw Failure(filter.menuPath() + " does not work on " + modeName(doc.mode()) + " documents");
  streamPlanes_ = doc.targetPlanes();
  absolutePlanes_ = doc.absolutePlanes();
  for (SavedPlane& saved : savedPlanes_) saved.any = false;
  reducedPixels_.clear();

  beginCall(doc);
  setUpDocumentInfo(doc);
  setUpFilterRecord(filter, doc);
  autoMask_ = true;
  pending_ = {};
  int16_t result = callEntry(filter, kFilterSelectorPrepare, &filter_);
  if (result == 0 && filter_.bufferSpace > memory_.available()) result = kHostOutOfMemory;
  if (result == 0) {
    autoMask_ = filter_.autoMask != 0;
    result = callEntry(filter, kFilterSelectorStart, &filter_);
    for (int calls = 0; result == 0 && requestsPending(); ++calls) {
      if (calls == kMaxContinueCalls) {
        writeBackOutput();
        restoreSavedPlanes();
        endCall();
        throw Failure(filter.menuPath() + ": the plug-in never stopped asking for pixels");
      }
      autoMask_ = filter_.autoMask != 0;
      result = advanceState();
      if (result == 0) result = callEntry(filter, kFilterSelectorContinue, &filter_);
    }
    if (result == 0) result = callEntry(filter, kFilterSelectorFinish, &filter_);
  }
  writeBackOutput();
  if (result != 0) restoreSavedPlanes();
  endCall();
  return result;
}

// ---- The selection module -------------------------------------------------

int16_t HostServices::runSelection(const Plugin& module, Document& doc) {
  if (module.entry == nullptr) throw Failure(module.menuPath() + ": the plug-in has no entry point");
  if (!module.pipl.allowsMode(doc.mode()))
    throw Failure(module.menuPath() + " does not work on " + modeName(doc.mode()) + " documents");
  beginCall(doc);
  setUpDocumentInfo(doc);
  PISelectionParams& p = selection_;
  p = {};
  p.abortProc = testAbort;
  p.progressProc = progress;
  p.documentInfo = &documentInfo_;
  p.hostSig = kHostSig;
  p.processEvent = processEvent;
  p.displayPixels = displayPixels;
  p.bufferProcs = memory_.bufferProcs();
  p.handleProcs = memory_.handleProcs();
  p.propertyProcs = &propertyProcs_;
  p.channelPortProcs = &channelPortProcs_;
  p.colorServices = colourServices;
  const int16_t result = callEntry(module, kSelectionSelectorExecute, &p);
  std::vector<uint8_t> path;
  bool ownHandle = true;
  if (result == 0 && p.newPath != nullptr) {
    ownHandle = memory_.owns(p.newPath);
    path = memory_.takeHandle(p.newPath);
  }
  const int16_t treatment = p.treatment;
  const bool pathReturned = result == 0 && p.newPath != nullptr;
  endCall();
  if (!pathReturned) return result;
  if (!ownHandle) throw Failure(module.menuPath() + ": the returned path is not a handle of this host");
  if (treatment != kSelectionTreatmentWorkPath)
    throw Failure(module.menuPath() + ": a path with treatment " + std::to_string(treatment) + " is not supported");
  try {
    decodePath(path, doc.width(), doc.height());
  } catch (const Failure& f) {
    throw Failure(module.menuPath() + ": the returned path is not valid: " + f.what());
  }
  doc.workPath = std::move(path);
  return result;
}

}  // namespace host
