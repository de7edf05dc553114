// What the host offers a plug-in during one call: the parameter blocks, the
// pixel streams of advanceState, channel ports, properties, colour and
// display services. One plug-in call runs at a time; the plain-function
// callbacks reach the call in progress through a process-wide pointer.
//
// The class is written in three files by concern: HostServicesStreams.cpp
// (the pixel streams and the output's write-back), HostServicesDisplay.cpp
// (the display service) and HostServices.cpp (the calls, the document's
// information, channel ports, properties and colour).
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/Document.h"
#include "host/HostMemory.h"
#include "host/PluginLibrary.h"
#include "hostapi/FilterRecord.h"
#include "hostapi/SelectionParams.h"
#include "platform/SimdLevel.h"

struct HostChannelPort {
  host::Plane* plane = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

namespace host {

// A pixel map drawn by the display service, as 24-bit RGB rows.
struct DisplayedPixels {
  HostRect32 area{};  // where, in the destination's coordinates
  std::vector<uint8_t> rgb;
};

// Draws converted pixels into the plug-in's device context (by default a
// platform::DeviceContext); tests put their own in.
using DisplayDrawer = std::function<HostError(void* context, const DisplayedPixels&)>;

class HostServices {
 public:
  HostServices();
  ~HostServices();
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  HostMemory& memory() { return memory_; }
  // The n-th advanceState (from 1) of the next plug-in call returns `code`.
  void failAdvance(int n, int16_t code) {
    failAdvanceAt_ = n;
    failAdvanceCode_ = code;
  }
  void setDisplayDrawer(DisplayDrawer drawer) { drawer_ = std::move(drawer); }

  // Runs a filter on the document: prepare, start, continue while the
  // request rectangles are not empty, finish. The output is kept when the
  // result is 0 and put back as it was otherwise. Throws Failure when the
  // plug-in cannot be run on this document.
  int16_t runFilter(const Plugin& filter, Document& doc);
  // Runs a selection module's execute; a returned path with treatment 1
  // becomes the document's work path. Throws Failure for a malformed path.
  int16_t runSelection(const Plugin& selection, Document& doc);
  // The about selector, with no document and no parameter block.
  int16_t runAbout(const Plugin& plugin);

  // Between the calls of one run: the filter record (for tests) and the
  // number of advanceState calls so far.
  FilterRecord& filterRecord() { return filter_; }
  int advanceCount() const { return advanceCount_; }

  // The display service: converts a pixel map (and its coverage mask over a
  // checkerboard) to RGB. Exposed for tests.
  static bool renderPixelMap(const HostPixelMap& map, const HostRect32& area, DisplayedPixels& out);

  // Called from the plug-in through the record.
  HostError advanceState();

 private:
  struct StreamBuffer {
    std::vector<uint8_t> bytes;
    int64_t counted = 0;
  };
  struct PendingOutput {
    bool active = false;
    HostRect rect{};
    int16_t lo = 0, hi = 0;
  };

  void setUpDocumentInfo(Document& doc);
  void setUpFilterRecord(const Plugin& filter, Document& doc);
  void beginCall(Document& doc);
  void endCall();
  int16_t callEntry(const Plugin& plugin, int16_t selector, void* block);
  void writeBackOutput();
  void restoreSavedPlanes();
  void releaseStreams();
  bool fillStream(StreamBuffer& buffer, const HostRect& rect, int rate, const std::vector<Plane*>& planes,
                  int16_t lo, int16_t hi, void*& data, int32_t& rowBytes);
  // A rectangle whose sides may pass the 16 bits of a HostRect (a row of
  // interleaved pixels counted in bytes).
  struct Area {
    int64_t top, left, bottom, right;
  };
  bool fillFrom(StreamBuffer& buffer, const Area& rect, int rate, Plane* const* planes, int16_t lo,
                int16_t hi, void*& data, int32_t& rowBytes, int64_t planeWidth, int64_t planeHeight);
  Plane& reducedPixels(const std::vector<Plane*>& planes, int16_t lo, int16_t hi, int rate);
  // Whether the output piece can be lent where it lies in the plane, and
  // lending it.
  bool canLendOutput() const;
  bool lendOutput();
  // Puts the original bytes of what the output has changed into the input
  // just delivered.
  void showOriginals(const std::vector<Plane*>& planes);
  bool requestsPending() const;

  static HostError advanceStateProc();
  static HostError getProperty(uint32_t signature, uint32_t key, int32_t index, intptr_t* simple, void** complex);
  static HostError setProperty(uint32_t signature, uint32_t key, int32_t index, intptr_t simple, void* complex);
  static HostError readPixels(HostChannelReadPort port, const HostScalingInfo* scaling, const HostRect32* writeRect,
                              const HostPixelMemoryDesc* destination, HostRect32* wroteRect);
  static HostError colourServices(HostColourServicesInfo* info);
  static HostError displayPixels(const HostPixelMap* source, const HostRect32* srcRect, int32_t dstRow,
                                 int32_t dstCol, void* platformContext);
  static HostBoolean testAbort() { return 0; }
  static void progress(int32_t, int32_t) {}
  static void processEvent(void*) {}

  HostMemory memory_;
  Document* document_ = nullptr;
  FilterRecord filter_{};
  PISelectionParams selection_{};
  HostPropertyProcs propertyProcs_{};
  HostChannelPortProcs channelPortProcs_{};
  HostDocumentInfo documentInfo_{};
  std::list<HostChannelPort> ports_;
  std::list<ReadChannelDesc> channels_;
  std::vector<std::string> channelNames_;

  StreamBuffer in_, out_, mask_;
  PendingOutput pending_;
  std::vector<Plane*> streamPlanes_;    // the target's planes
  std::vector<Plane*> absolutePlanes_;  // every plane by absolute number
  bool autoMask_ = false;
  // The vector level of the pixel streams, read at each advanceState.
  platform::SimdLevel simd_ = platform::simdLevel();
  // What the output changed, kept so that a filter that does not succeed
  // leaves no trace: each plane's blocks of kSavedBlock bytes as they were
  // before their first change. Saving only the blocks that change keeps a
  // run that rewrites little (or rewrites what it was given unchanged, as
  // a display that only reads the output does) from copying whole planes.
  // The buffers are kept from run to run, as fresh memory costs more than
  // the copy.
  static constexpr size_t kSavedBlock = 64;
  //
  // The blocks go into a log in the order they are saved, not to their
  // places in a plane-sized copy: pieces are saved a row of a tile at a
  // time, and a copy laid out as the plane put each row in a page of its
  // own, in step with the plane's, which made saving up to three times
  // slower in some runs than in others (bench_host
  // advanceState_writeback_vs_memcpy).
  struct SavedPlane {
    Plane log;                  // room for every block; the first `used` are saved blocks
    std::vector<uint32_t> slot;  // per block: 1 + its place in the log, 0 while not saved
    size_t used = 0;
    bool any = false;
    std::unordered_set<uint64_t> lent;  // the rectangles lent whole this run

    // Marks a block saved and copies it from the plane as it is now, with
    // the instructions of `level`.
    void keep(const Plane& target, size_t block, platform::SimdLevel level);
    bool isSaved(size_t block) const { return slot[block] != 0; }
    const uint8_t* savedBlock(size_t block) const { return log.data() + (slot[block] - 1) * kSavedBlock; }
  };
  void commitRow(size_t plane, size_t offset, const uint8_t* bytes, size_t count);
  // Saves the blocks of bytes offset..offset+count of a plane that are not
  // saved yet; true when there were any.
  bool saveRange(SavedPlane& saved, const Plane& target, size_t offset, size_t count);
  SavedPlane& savedPlane(size_t plane);
  std::vector<SavedPlane> savedPlanes_;
  std::vector<uint8_t> rowBuffer_;  // one output row of one plane being written back
  // Reduced copies of input planes, made during a run and dropped at the
  // next: the input does not change while a filter runs.
  // Every rate-th pixel of some planes, interleaved as a stream delivers
  // them.
  struct ReducedPixels {
    std::vector<const Plane*> sources;
    int rate = 1;
    Plane pixels;
  };
  std::list<ReducedPixels> reducedPixels_;

  int advanceCount_ = 0;
  int failAdvanceAt_ = 0;
  int16_t failAdvanceCode_ = 0;
  DisplayDrawer drawer_;

  static inline HostServices* active_ = nullptr;
};

}  // namespace host
