// The host's services as a plug-in sees them, driven by a scripted plug-in
// inside the test: what advanceState delivers, what the host keeps of the
// output, memory limits and injected failures, and the other suites.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/PathRecords.h"
#include "platform/DeviceContext.h"
#include "tests/support/SimdLevels.h"

namespace {

using host::Document;
using host::HostServices;
using host::Plane;

// The scripted plug-in: one function per selector; the entry runs it.
std::function<int16_t(int16_t selector, void* block)> gScript;

void scriptedEntry(int16_t selector, void* block, int32_t*, int16_t* result) {
  *result = gScript ? gScript(selector, block) : 0;
}

host::Plugin scriptedPlugin(const char* kind) {
  host::Plugin p;
  p.pipl.kind = kind;
  p.pipl.name = "Scripted";
  p.pipl.supportedModes = 0x5840;
  p.entry = scriptedEntry;
  return p;
}

// A filter whose start runs `body` with the record, and whose other
// selectors request nothing.
int16_t runFilterBody(HostServices& services, Document& doc, std::function<int16_t(FilterRecord&)> body) {
  gScript = [&](int16_t selector, void* block) -> int16_t {
    auto& r = *static_cast<FilterRecord*>(block);
    if (selector != kFilterSelectorStart) return 0;
    const int16_t result = body(r);
    // As a plug-in that fetches its own pieces does: the host's loop gets nothing to deliver.
    r.inRect.right = r.inRect.left;
    r.outRect.right = r.outRect.left;
    r.maskRect.right = r.maskRect.left;
    return result;
  };
  const int16_t result = services.runFilter(scriptedPlugin("8BFM"), doc);
  gScript = nullptr;
  return result;
}

// An RGB document whose pixel (y, x) has red = x, green = y, blue = x + y.
Document gradient(int w, int h) {
  Document doc(host::kModeRGB, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y * w + x);
      doc.colour(0)[i] = static_cast<uint8_t>(x);
      doc.colour(1)[i] = static_cast<uint8_t>(y);
      doc.colour(2)[i] = static_cast<uint8_t>(x + y);
    }
  return doc;
}

void request(HostRect& rect, int16_t top, int16_t left, int16_t bottom, int16_t right) {
  rect = {top, left, bottom, right};
}

TEST(AdvanceState, DeliversInterleavedPlanesOfTheRequestedRectangle) {
  HostServices services;
  Document doc = gradient(40, 30);
  std::vector<uint8_t> got;
  int32_t rowBytes = 0;
  // 13 columns: whole groups of four pixels and a remainder.
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    EXPECT_EQ(r.planes, 3);
    request(r.inRect, 5, 10, 7, 23);
    r.inLoPlane = 0;
    r.inHiPlane = 2;
    if (r.advanceState() != 0) return 1;
    rowBytes = r.inRowBytes;
    auto* d = static_cast<uint8_t*>(r.inData);
    got.assign(d, d + 2 * r.inRowBytes);
    return 0;
  });
  ASSERT_EQ(rowBytes, 39);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 13; ++x) {
      const uint8_t* px = &got[static_cast<size_t>(y * 39 + x * 3)];
      EXPECT_EQ(px[0], 10 + x) << "red at " << y << "," << x;
      EXPECT_EQ(px[1], 5 + y) << "green at " << y << "," << x;
      EXPECT_EQ(px[2], 15 + x + y) << "blue at " << y << "," << x;
    }
}

class AdvanceStateAtEachLevel : public testing_support::AtEachSimdLevel<> {};

TEST_P(AdvanceStateAtEachLevel, DeliversColourPiecesOfAnyWidthAndPlaceAsTheDocumentHasThem) {
  HostServices services;
  std::mt19937 random(5);
  Document doc(host::kModeRGB, 100, 7);
  for (int c = 0; c < 3; ++c)
    for (uint8_t& b : doc.colour(c)) b = static_cast<uint8_t>(random());
  struct Piece {
    HostRect rect;
    int rate;
  };
  // Wide and narrow, reaching past either side, whole and reduced; first a
  // row of sixteen pixels, whose buffer ends where its last pixel does.
  const Piece pieces[] = {{{1, 0, 2, 16}, 1}, {{0, -5, 7, 60}, 1}, {{2, 30, 5, 105}, 1}, {{0, 0, 7, 100}, 1}, {{1, 17, 2, 18}, 1},
                          {{-1, -3, 4, 45}, 2}, {{0, 40, 3, 52}, 2}};
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    r.inLoPlane = 0;
    r.inHiPlane = 2;
    for (const Piece& piece : pieces) {
      r.inRect = piece.rect;
      r.inputRate = piece.rate << 16;
      if (r.advanceState() != 0) return 1;
      const auto* d = static_cast<const uint8_t*>(r.inData);
      const HostRect& q = piece.rect;
      int wrong = 0;
      for (int y = q.top; y < q.bottom; ++y)
        for (int x = q.left; x < q.right; ++x)
          for (int c = 0; c < 3; ++c) {
            const int docY = y * piece.rate, docX = x * piece.rate;
            const bool inside = docY >= 0 && docY < 7 && docX >= 0 && docX < 100;
            const uint8_t want = inside ? doc.colour(c)[static_cast<size_t>(docY * 100 + docX)] : 0;
            if (d[(y - q.top) * r.inRowBytes + (x - q.left) * 3 + c] != want && wrong++ == 0)
              ADD_FAILURE() << "piece (" << q.top << ", " << q.left << ", " << q.bottom << ", " << q.right
                            << ") at rate " << piece.rate << ": channel " << c << " of pixel " << y << "," << x;
          }
    }
    r.inputRate = 1 << 16;
    return 0;
  });
}

TESSALY_AT_EACH_SIMD_LEVEL(AdvanceStateAtEachLevel);

TEST(AdvanceState, ReadsOutsideTheImageAsZero) {
  HostServices services;
  Document doc(host::kModeGrey, 4, 4, {200});
  std::vector<uint8_t> got;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    request(r.inRect, -1, -2, 2, 1);
    if (r.advanceState() != 0) return 1;
    auto* d = static_cast<uint8_t*>(r.inData);
    got.assign(d, d + 9);
    return 0;
  });
  const std::vector<uint8_t> want = {0, 0, 0, 0, 0, 200, 0, 0, 200};
  EXPECT_EQ(got, want);
}

TEST(AdvanceState, ReadsAbsolutePlanesByTheirDocumentNumbers) {
  HostServices services;
  Document doc = gradient(8, 8);
  doc.alphas.push_back({"A", doc.newPlane(77)});
  doc.alphas.push_back({"B", doc.newPlane(99)});
  doc.target = {host::Target::Alpha, "B", 0};
  int planes = 0;
  uint8_t absolute4 = 0, stream0 = 0, absolute1 = 0;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    planes = r.planes;
    EXPECT_EQ(r.absNonLayerPlanes, 5);
    EXPECT_EQ(r.outNonLayerPlanes, 1);
    request(r.inRect, 3, 2, 4, 3);
    r.inLoPlane = r.inHiPlane = 0;
    if (r.advanceState() != 0) return 1;
    stream0 = *static_cast<uint8_t*>(r.inData);
    r.wantsAbsolute = 1;
    r.inLoPlane = r.inHiPlane = 4;
    if (r.advanceState() != 0) return 1;
    absolute4 = *static_cast<uint8_t*>(r.inData);
    r.inLoPlane = r.inHiPlane = 1;
    if (r.advanceState() != 0) return 1;
    absolute1 = *static_cast<uint8_t*>(r.inData);
    return 0;
  });
  EXPECT_EQ(planes, 1) << "the stream holds the target plane only";
  EXPECT_EQ(stream0, 99) << "plane 0 of the stream is the target";
  EXPECT_EQ(absolute4, 99) << "absolute plane 4 is the second alpha channel";
  EXPECT_EQ(absolute1, 3) << "absolute plane 1 is green (row 3)";
}

TEST(AdvanceState, LayerNumbersItsColoursTransparencyAndMaskBeforeAlphaChannels) {
  HostServices services;
  Document doc = gradient(4, 4);
  doc.transparency = doc.newPlane(10);
  doc.layerMask = doc.newPlane(20);
  doc.alphas.push_back({"A", doc.newPlane(30)});
  doc.target.kind = host::Target::Transparency;
  std::vector<uint8_t> absolute;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    EXPECT_EQ(r.absLayerPlanes, 3);
    EXPECT_EQ(r.absTransparencyMask, 1);
    EXPECT_EQ(r.absLayerMasks, 1);
    EXPECT_EQ(r.absNonLayerPlanes, 1);
    EXPECT_EQ(r.outTransparencyMask, 1);
    EXPECT_EQ(r.outNonLayerPlanes, 0);
    EXPECT_EQ(r.planes, 4) << "the layer's colours and its transparency";
    r.wantsAbsolute = 1;
    request(r.inRect, 0, 0, 1, 1);
    r.inLoPlane = 0;
    r.inHiPlane = 5;
    if (r.advanceState() != 0) return 1;
    auto* d = static_cast<uint8_t*>(r.inData);
    absolute.assign(d, d + 6);
    return 0;
  });
  const std::vector<uint8_t> want = {0, 0, 0, 10, 20, 30};
  EXPECT_EQ(absolute, want);
}

TEST(AdvanceState, ReducedInputDeliversEveryKthPixelInReducedCoordinates) {
  HostServices services;
  Document doc = gradient(40, 30);
  std::vector<uint8_t> red, green;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    r.inputRate = 3 << 16;
    request(r.inRect, 3, 6, 5, 9);  // reduced: document rows 9 and 12, columns 18 to 24
    r.inLoPlane = 0;
    r.inHiPlane = 1;
    if (r.advanceState() != 0) return 1;
    auto* d = static_cast<uint8_t*>(r.inData);
    for (int i = 0; i < 6; ++i) {
      red.push_back(d[2 * i]);
      green.push_back(d[2 * i + 1]);
    }
    r.inputRate = 1 << 16;
    return 0;
  });
  EXPECT_EQ(red, (std::vector<uint8_t>{18, 21, 24, 18, 21, 24}));
  EXPECT_EQ(green, (std::vector<uint8_t>{9, 9, 9, 12, 12, 12}));
}

TEST(AdvanceState, DeliversTheSelectionAsMaskAndFilterRectIsItsBounds) {
  HostServices services;
  Document doc = gradient(20, 20);
  doc.selection = doc.newPlane(0);
  for (int y = 4; y < 8; ++y)
    for (int x = 2; x < 12; ++x) (*doc.selection)[static_cast<size_t>(y * 20 + x)] = 255;
  HostRect filterRect{};
  std::vector<uint8_t> mask;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    filterRect = r.filterRect;
    EXPECT_TRUE(r.haveMask);
    request(r.maskRect, 3, 1, 5, 3);
    if (r.advanceState() != 0) return 1;
    auto* d = static_cast<uint8_t*>(r.maskData);
    mask.assign(d, d + 4);
    EXPECT_EQ(r.maskRowBytes, 2);
    return 0;
  });
  EXPECT_EQ(filterRect.top, 4);
  EXPECT_EQ(filterRect.left, 2);
  EXPECT_EQ(filterRect.bottom, 8);
  EXPECT_EQ(filterRect.right, 12);
  EXPECT_EQ(mask, (std::vector<uint8_t>{0, 0, 0, 255}));
}

TEST(FilterOutput, IsWrittenBackOnTheNextCallAndKeptOnSuccess) {
  HostServices services;
  Document doc = gradient(16, 16);
  doc.alphas.push_back({"Mask", doc.newPlane(0)});
  doc.target = {host::Target::Alpha, "Mask", 0};
  uint8_t seenAfterWrite = 0;
  const int16_t result = runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    request(r.outRect, 2, 2, 4, 4);
    r.outLoPlane = r.outHiPlane = 0;
    if (r.advanceState() != 0) return 1;
    for (int row = 0; row < 2; ++row) std::memset(static_cast<uint8_t*>(r.outData) + row * r.outRowBytes, 200, 2);
    r.outRect.right = r.outRect.left;  // the plug-in lets go of the piece
    request(r.inRect, 2, 2, 3, 3);
    r.inLoPlane = r.inHiPlane = 0;
    if (r.advanceState() != 0) return 1;
    seenAfterWrite = *static_cast<uint8_t*>(r.inData);
    // A second piece, written but never followed by another call.
    r.inRect.right = r.inRect.left;
    request(r.outRect, 10, 10, 11, 11);
    if (r.advanceState() != 0) return 1;
    *static_cast<uint8_t*>(r.outData) = 50;
    r.outRect.right = r.outRect.left;
    return 0;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seenAfterWrite, 0) << "the input shows the plane as it was when the run began";
  const Plane& mask = doc.findAlpha("Mask")->data;
  EXPECT_EQ(mask[2 * 16 + 2], 200);
  EXPECT_EQ(mask[3 * 16 + 3], 200);
  EXPECT_EQ(mask[4 * 16 + 4], 0);
  EXPECT_EQ(mask[10 * 16 + 10], 50) << "the last piece is kept when the filter ends";
}

TEST(FilterOutput, IsDiscardedWhenTheFilterCancels) {
  HostServices services;
  Document doc = gradient(8, 8);
  doc.alphas.push_back({"Mask", doc.newPlane(7)});
  doc.target = {host::Target::Alpha, "Mask", 0};
  const int16_t result = runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    request(r.outRect, 0, 0, 8, 8);
    if (r.advanceState() != 0) return 1;
    std::memset(r.outData, 255, 64);
    r.outRect.right = r.outRect.left;
    if (r.advanceState() != 0) return 1;
    return 1110;
  });
  EXPECT_EQ(result, 1110);
  EXPECT_EQ(doc.findAlpha("Mask")->data, Plane(64, 7)) << "a cancelled filter leaves the target as it was";
}

TEST(FilterOutput, StaysInsideTheSelection) {
  HostServices services;
  Document doc(host::kModeGrey, 4, 1, {0});
  doc.alphas.push_back({"Mask", doc.newPlane(0)});
  doc.target = {host::Target::Alpha, "Mask", 0};
  doc.selection = Plane{0, 255, 128, 255};
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    request(r.outRect, 0, 0, 1, 4);
    if (r.advanceState() != 0) return 1;
    std::memset(r.outData, 255, 4);
    return 0;
  });
  EXPECT_EQ(doc.findAlpha("Mask")->data, (Plane{0, 255, 128, 255}));
}

// Random pieces of the output, some given back unchanged, some with a few
// bytes changed, some rewritten, overlapping and reaching past the image,
// on a document whose rows do not line up with anything; a model applies
// the same writes. The host must end with the model's planes when the
// filter succeeds and with the original ones, exactly, when it fails.
struct OutputRunCase {
  const char* name;
  bool selection;
  int16_t result;
};

void runRandomOutputWrites(const OutputRunCase& c, std::mt19937& random, HostServices& services, Document& doc) {
  std::vector<Plane*> planes = doc.targetPlanes();
  std::vector<Plane> before, model;
  for (Plane* p : planes) before.push_back(*p);
  model = before;
  const int w = doc.width(), h = doc.height();
  const int16_t result = runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    int top = 0, left = 0, bottom = 0, right = 0;
    for (int piece = 0; piece < 40; ++piece) {
      // Now and then the same piece again, as a display asks for it.
      if (piece == 0 || random() % 4 != 0) {
        top = static_cast<int>(random() % static_cast<unsigned>(h + 4)) - 2;
        left = static_cast<int>(random() % static_cast<unsigned>(w + 4)) - 2;
        bottom = top + 1 + static_cast<int>(random() % 12);
        right = left + 1 + static_cast<int>(random() % 40);
      }
      request(r.outRect, static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right));
      r.outLoPlane = static_cast<int16_t>(random() % planes.size());
      r.outHiPlane = static_cast<int16_t>(r.outLoPlane + random() % (planes.size() - r.outLoPlane));
      if (r.advanceState() != 0) return 1;
      const int n = r.outHiPlane - r.outLoPlane + 1;
      auto* out = static_cast<uint8_t*>(r.outData);
      const int rowBytes = r.outRowBytes;
      const int pieceRow = (right - left) * n;
      EXPECT_GE(rowBytes, pieceRow);
      const auto byteAt = [&](int i) -> uint8_t& { return out[i / pieceRow * rowBytes + i % pieceRow]; };
      const int kind = static_cast<int>(random() % 3);  // unchanged, a few bytes, everything
      const int changes = kind == 0 ? 0 : kind == 1 ? 3 : (bottom - top) * pieceRow;
      for (int i = 0; i < changes; ++i) {
        const int at = kind == 1 ? static_cast<int>(random() % static_cast<unsigned>((bottom - top) * pieceRow)) : i;
        byteAt(at) = static_cast<uint8_t>(random());
      }
      for (int y = std::max(top, 0); y < std::min(bottom, h); ++y)
        for (int x = std::max(left, 0); x < std::min(right, w); ++x)
          for (int p = 0; p < n; ++p) {
            const uint8_t v = byteAt((y - top) * pieceRow + (x - left) * n + p);
            uint8_t& m = model[static_cast<size_t>(r.outLoPlane + p)][static_cast<size_t>(y * w + x)];
            const int s = c.selection ? (*doc.selection)[static_cast<size_t>(y * w + x)] : 255;
            m = static_cast<uint8_t>((m * (255 - s) + v * s + 127) / 255);
          }
      // Now and then the input, whole or reduced: it shows the planes as
      // they were when the run began.
      if (random() % 3 == 0) {
        const int rate = 1 + static_cast<int>(random() % 2);
        const int inTop = static_cast<int>(random() % static_cast<unsigned>(h / rate + 2)) - 1;
        const int inLeft = static_cast<int>(random() % static_cast<unsigned>(w / rate + 2)) - 1;
        request(r.inRect, static_cast<int16_t>(inTop), static_cast<int16_t>(inLeft), static_cast<int16_t>(inTop + 5),
                static_cast<int16_t>(inLeft + 9));
        r.inLoPlane = 0;
        r.inHiPlane = static_cast<int16_t>(planes.size() - 1);
        r.inputRate = rate << 16;
        r.outRect.right = r.outRect.left;
        if (r.advanceState() != 0) return 1;
        const auto* in = static_cast<const uint8_t*>(r.inData);
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 9; ++x)
            for (size_t p = 0; p < planes.size(); ++p) {
              const int docY = (inTop + y) * rate, docX = (inLeft + x) * rate;
              const bool inside = docY >= 0 && docY < h && docX >= 0 && docX < w;
              const uint8_t want = inside ? before[p][static_cast<size_t>(docY * w + docX)] : 0;
              const uint8_t got = in[y * r.inRowBytes + x * static_cast<int>(planes.size()) + static_cast<int>(p)];
              if (got != want) {
                ADD_FAILURE() << c.name << ": input plane " << p << " at (" << docY << ", " << docX << ") is " << int(got)
                              << ", was " << int(want) << " when the run began";
                return 1;
              }
            }
        r.inRect.right = r.inRect.left;
        r.inputRate = 1 << 16;
      }
    }
    return c.result;
  });
  ASSERT_EQ(result, c.result);
  for (size_t p = 0; p < planes.size(); ++p) {
    const Plane& expected = c.result == 0 ? model[p] : before[p];
    size_t first = 0;
    while (first < expected.size() && (*planes[p])[first] == expected[first]) ++first;
    EXPECT_EQ(first, expected.size()) << c.name << ": plane " << p << " differs first at byte " << first
                                      << (c.result == 0 ? " from the filter's writes" : " from the plane as it was");
  }
}

class FilterOutputAtEachLevel : public testing_support::AtEachSimdLevel<> {};

TEST_P(FilterOutputAtEachLevel, IsKeptExactlyOnSuccessAndPutBackExactlyOnFailure) {
  std::mt19937 random(11);
  HostServices services;  // one host for every run: its saved blocks are reused
  for (const OutputRunCase& c : {OutputRunCase{"success", false, 0}, OutputRunCase{"cancel", false, 1110},
                                 OutputRunCase{"failure after success", false, -30100},
                                 OutputRunCase{"success in a selection", true, 0},
                                 OutputRunCase{"cancel in a selection", true, 1110},
                                 OutputRunCase{"success again", false, 0}, OutputRunCase{"cancel again", false, 1110}}) {
    Document doc = gradient(37, 23);
    doc.transparency = doc.newPlane(0);
    for (size_t i = 0; i < doc.transparency->size(); ++i) (*doc.transparency)[i] = static_cast<uint8_t>(i * 7);
    doc.target = {host::Target::Transparency, "", 0};
    if (c.selection) {
      doc.selection = doc.newPlane(0);
      for (size_t i = 0; i < doc.selection->size(); ++i) (*doc.selection)[i] = static_cast<uint8_t>(random() % 3 * 127);
    }
    runRandomOutputWrites(c, random, services, doc);
  }
}

TESSALY_AT_EACH_SIMD_LEVEL(FilterOutputAtEachLevel);

TEST(FilterRun, ContinuesUntilTheRequestRectanglesAreEmpty) {
  HostServices services;
  Document doc = gradient(8, 8);
  std::vector<int16_t> selectors;
  gScript = [&](int16_t selector, void* block) -> int16_t {
    auto& r = *static_cast<FilterRecord*>(block);
    selectors.push_back(selector);
    if (selector == kFilterSelectorStart) request(r.inRect, 0, 0, 1, 1);
    if (selector == kFilterSelectorContinue) {
      EXPECT_NE(r.inData, nullptr) << "the host delivered the piece before continue";
      if (r.inRect.top < 2) request(r.inRect, static_cast<int16_t>(r.inRect.top + 1), 0, static_cast<int16_t>(r.inRect.top + 2), 1);
      else r.inRect.right = r.inRect.left;
    }
    return 0;
  };
  EXPECT_EQ(services.runFilter(scriptedPlugin("8BFM"), doc), 0);
  gScript = nullptr;
  EXPECT_EQ(selectors, (std::vector<int16_t>{2, 3, 4, 4, 4, 5}));
}

TEST(FilterRun, RefusesAModeTheModeMaskLeavesOut) {
  HostServices services;
  Document doc(host::kModeCMYK, 4, 4);
  host::Plugin p = scriptedPlugin("8BFM");
  p.pipl.supportedModes = 0x5000;  // greyscale and RGB only
  bool called = false;
  gScript = [&](int16_t, void*) -> int16_t {
    called = true;
    return 0;
  };
  EXPECT_THROW(services.runFilter(p, doc), host::Failure);
  gScript = nullptr;
  EXPECT_FALSE(called);
}

TEST(HostMemoryLimit, RefusesBuffersAndPiecesBeyondTheLimit) {
  HostServices services;
  services.memory().setLimit(10000);
  Document doc = gradient(100, 100);
  HostError big = 0, fits = 0, pieceOver = 0, pieceAfterFree = 0;
  int32_t spaceLeft = 0;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    HostBufferId id = 0, small = 0;
    big = r.bufferProcs->allocateProc(20000, &id);
    fits = r.bufferProcs->allocateProc(8000, &small);
    spaceLeft = r.bufferProcs->spaceProc();
    request(r.inRect, 0, 0, 30, 30);  // 2700 bytes: more than is left
    r.inLoPlane = 0;
    r.inHiPlane = 2;
    pieceOver = r.advanceState();
    EXPECT_EQ(r.inData, nullptr);
    r.bufferProcs->freeProc(small);
    pieceAfterFree = r.advanceState();
    r.inRect.right = r.inRect.left;
    return 0;
  });
  EXPECT_EQ(big, kHostOutOfMemory);
  EXPECT_EQ(fits, 0);
  EXPECT_EQ(spaceLeft, 2000);
  EXPECT_EQ(pieceOver, kHostOutOfMemory);
  EXPECT_EQ(pieceAfterFree, 0);
}

TEST(HostMemoryLimit, FreesWhatThePluginLeftAllocated) {
  HostServices services;
  services.memory().setLimit(5000);
  Document doc = gradient(4, 4);
  for (int run = 0; run < 2; ++run) {
    HostError e = -1;
    runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
      HostBufferId id = 0;
      e = r.bufferProcs->allocateProc(4000, &id);
      return 0;
    });
    EXPECT_EQ(e, 0) << "run " << run << ": the earlier run's buffer still counts";
  }
  EXPECT_EQ(services.memory().used(), 0);
}

TEST(FailAdvance, TheNthCallOfTheNextRunReturnsTheCodeAndLaterCallsWork) {
  HostServices services;
  services.failAdvance(2, -30100);
  Document doc = gradient(4, 4);
  std::vector<HostError> results;
  auto body = [&](FilterRecord& r) -> int16_t {
    request(r.inRect, 0, 0, 1, 1);
    for (int i = 0; i < 3; ++i) results.push_back(r.advanceState());
    r.inRect.right = r.inRect.left;
    return 0;
  };
  runFilterBody(services, doc, body);
  runFilterBody(services, doc, body);
  EXPECT_EQ(results, (std::vector<HostError>{0, -30100, 0, 0, 0, 0}));
}

TEST(Properties, AnswerTheModeAndAcceptTheWatchSuspension) {
  HostServices services;
  Document doc(host::kModeLab, 4, 4);
  intptr_t mode = 0;
  HostError unknown = 0, watch = -1;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    r.propertyProcs->getPropertyProc(kHostSignature, kHostPropImageMode, 0, &mode, nullptr);
    intptr_t dummy = 0;
    unknown = r.propertyProcs->getPropertyProc(kHostSignature, HOST_FOURCC('x', 'x', 'x', 'x'), 0, &dummy, nullptr);
    watch = r.propertyProcs->setPropertyProc(kHostSignature, kHostPropWatchSuspension, 0, 1, nullptr);
    return 0;
  });
  EXPECT_EQ(mode, host::kModeLab);
  EXPECT_NE(unknown, 0);
  EXPECT_EQ(watch, 0);
}

TEST(ColourServices, ConvertBetweenSpacesAndRefuseUnknownOnes) {
  HostServices services;
  Document doc(host::kModeRGB, 2, 2);
  HostColourServicesInfo lab{}, back{}, hsb{}, bad{};
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    lab.infoSize = sizeof lab;
    lab.selector = kHostColourServicesConvert;
    lab.sourceSpace = kHostSpaceRGB;
    lab.resultSpace = kHostSpaceLab;
    lab.colourComponents[0] = 255;
    lab.colourComponents[1] = 0;
    lab.colourComponents[2] = 0;
    EXPECT_EQ(r.colorServices(&lab), 0);
    back = lab;
    back.sourceSpace = kHostSpaceLab;
    back.resultSpace = kHostSpaceRGB;
    EXPECT_EQ(r.colorServices(&back), 0);
    hsb = lab;
    hsb.sourceSpace = kHostSpaceRGB;
    hsb.resultSpace = kHostSpaceHSB;
    hsb.colourComponents[0] = 0;
    hsb.colourComponents[1] = 0;
    hsb.colourComponents[2] = 255;
    EXPECT_EQ(r.colorServices(&hsb), 0);
    bad = lab;
    bad.sourceSpace = 17;
    EXPECT_NE(r.colorServices(&bad), 0);
    return 0;
  });
  EXPECT_NEAR(lab.colourComponents[0], 138, 4) << "L of pure red is about 54";
  EXPECT_GT(lab.colourComponents[1], 128 + 60) << "red has a strongly positive a";
  // 8-bit Lab holds red only to a few steps.
  EXPECT_NEAR(back.colourComponents[0], 255, 6);
  EXPECT_NEAR(back.colourComponents[1], 0, 6);
  EXPECT_NEAR(back.colourComponents[2], 0, 6);
  EXPECT_EQ(hsb.colourComponents[0], 240) << "blue's hue in degrees";
  EXPECT_EQ(hsb.colourComponents[1], 255);
  EXPECT_EQ(hsb.colourComponents[2], 255);
}

TEST(ChannelPorts, ReadTheRequestedRectangleOfAChannel) {
  HostServices services;
  Document doc = gradient(10, 10);
  doc.alphas.push_back({"A", doc.newPlane(0)});
  doc.alphas[0].data[3 * 10 + 4] = 99;
  doc.target = {host::Target::Alpha, "A", 0};
  uint8_t buffer[2][4] = {};
  HostError e = -1;
  bool targeted = false;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    const ReadChannelDesc* a = r.documentInfo->alphaChannels;
    targeted = a != nullptr && a->target;
    HostRect32 rect{3, 4, 5, 6};
    HostScalingInfo scaling{rect, rect};
    HostPixelMemoryDesc dest{buffer, 4 * 8, 8, 0, 8};
    HostRect32 wrote{};
    e = r.channelPortProcs->readPixelsProc(a->port, &scaling, &rect, &dest, &wrote);
    return 0;
  });
  EXPECT_EQ(e, 0);
  EXPECT_TRUE(targeted);
  EXPECT_EQ(buffer[0][0], 99);
  EXPECT_EQ(buffer[0][1], 0);
  EXPECT_EQ(buffer[0][2], 0) << "nothing beyond the rectangle's width is written";
}

TEST(SelectionModule, AReturnedPathWithTreatmentOneBecomesTheWorkPath) {
  HostServices services;
  Document doc(host::kModeGrey, 100, 200);
  const std::vector<uint8_t> records =
      host::encodePath({{true, {{{50, 100}, {50, 100}, {50, 100}}, {{60, 100}, {60, 100}, {60, 100}}}}}, 100, 200);
  gScript = [&](int16_t, void* block) -> int16_t {
    auto& p = *static_cast<PISelectionParams*>(block);
    HostHandle h = p.handleProcs->newProc(static_cast<int32_t>(records.size()));
    char* bytes = p.handleProcs->lockProc(h, 0);
    std::memcpy(bytes, records.data(), records.size());
    p.handleProcs->unlockProc(h);
    p.newPath = h;
    p.treatment = kSelectionTreatmentWorkPath;
    return 0;
  };
  EXPECT_EQ(services.runSelection(scriptedPlugin("8BSM"), doc), 0);
  gScript = nullptr;
  EXPECT_EQ(doc.workPath, records);
  EXPECT_EQ(services.memory().liveHandles(), 0u) << "the host disposed of the handle";
}

TEST(SelectionModule, AMalformedPathIsRefusedAndTheWorkPathKept) {
  HostServices services;
  Document doc(host::kModeGrey, 10, 10);
  doc.workPath = host::encodePath({}, 10, 10);
  const std::vector<uint8_t> before = doc.workPath;
  gScript = [&](int16_t, void* block) -> int16_t {
    auto& p = *static_cast<PISelectionParams*>(block);
    HostHandle h = p.handleProcs->newProc(30);  // not a whole number of records
    p.newPath = h;
    p.treatment = kSelectionTreatmentWorkPath;
    return 0;
  };
  EXPECT_THROW(services.runSelection(scriptedPlugin("8BSM"), doc), host::Failure);
  gScript = nullptr;
  EXPECT_EQ(doc.workPath, before);
}

TEST(SelectionModule, SeesTheTargetedChannelsAndTheSelection) {
  HostServices services;
  Document doc(host::kModeRGB, 10, 10);
  doc.transparency = doc.newPlane(255);
  doc.alphas.push_back({"One", doc.newPlane(0)});
  doc.alphas.push_back({"Two", doc.newPlane(0)});
  doc.selection = doc.newPlane(255);
  doc.target = {host::Target::Alpha, "Two", 0};
  std::vector<std::string> targeted;
  bool transparencyTargeted = true, hasSelection = false;
  gScript = [&](int16_t, void* block) -> int16_t {
    auto& p = *static_cast<PISelectionParams*>(block);
    transparencyTargeted = p.documentInfo->targetTransparency->target;
    hasSelection = p.documentInfo->selection != nullptr;
    for (const ReadChannelDesc* c = p.documentInfo->alphaChannels; c != nullptr; c = c->next)
      if (c->target) targeted.push_back(c->name);
    return 1110;
  };
  EXPECT_EQ(services.runSelection(scriptedPlugin("8BSM"), doc), 1110);
  gScript = nullptr;
  EXPECT_FALSE(transparencyTargeted);
  EXPECT_TRUE(hasSelection);
  EXPECT_EQ(targeted, (std::vector<std::string>{"Two"}));
}

TEST(DisplayPixels, ShowsCoverageOverACheckerboard) {
  uint8_t grey[2 * 16] = {};
  std::memset(grey, 100, sizeof grey);
  uint8_t coverage[2 * 16] = {};
  for (int i = 0; i < 16; ++i) coverage[i] = 255;  // first row opaque, second transparent
  HostPixelMask mask{nullptr, coverage, 16, 1, 0};
  HostPixelMap map{};
  map.version = 1;
  map.bounds = {0, 0, 2, 16};
  map.imageMode = host::kModeGrey;
  map.rowBytes = 16;
  map.colBytes = 1;
  map.planeBytes = 1;
  map.baseAddr = grey;
  map.masks = &mask;
  host::DisplayedPixels out;
  ASSERT_TRUE(HostServices::renderPixelMap(map, {0, 0, 2, 16}, out));
  EXPECT_EQ(out.rgb[0], out.rgb[3]) << "an opaque row is the image";
  EXPECT_LT(out.rgb[0], 200);
  const uint8_t* second = out.rgb.data() + 16 * 3;
  EXPECT_EQ(second[0], 255) << "a transparent pixel shows the checkerboard's light square";
  EXPECT_EQ(second[8 * 3], 204) << "the next square is darker";
  EXPECT_FALSE(HostServices::renderPixelMap(map, {0, 0, 3, 16}, out)) << "outside the map's bounds";
}

TEST(DisplayPixels, DrawsIntoThePlugInsDeviceContextAtTheDestination) {
  HostServices services;
  Document doc(host::kModeRGB, 4, 4);
  platform::Framebuffer target(10, 10, platform::rgb(0, 0, 0));
  platform::DeviceContext dc(target);
  uint8_t pixels[2 * 2 * 3] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0};
  HostError e = -1;
  runFilterBody(services, doc, [&](FilterRecord& r) -> int16_t {
    HostPixelMap map{};
    map.version = 1;
    map.bounds = {0, 0, 2, 2};
    map.imageMode = host::kModeRGB;
    map.rowBytes = 6;
    map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = pixels;
    const HostRect32 area{0, 0, 2, 2};
    e = r.displayPixels(&map, &area, 5, 3, &dc);  // row 5, column 3
    return 0;
  });
  EXPECT_EQ(e, 0);
  EXPECT_EQ(target.pixel(3, 5), platform::rgb(255, 0, 0)) << "the top-left pixel lands at column 3, row 5";
  EXPECT_EQ(target.pixel(4, 6), platform::rgb(255, 0, 0));
  EXPECT_EQ(target.pixel(5, 5), platform::rgb(0, 0, 0)) << "nothing beyond the area";
}

}  // namespace
