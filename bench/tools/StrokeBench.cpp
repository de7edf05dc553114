// One stroke step of the magic brush at brush size 255 (a hard brush of
// radius 128, stamps about 65 pixels apart) on an 8000 x 6000 RGB document
// through tessaly-host's services: the stamps united into the coverage,
// every pixel under them classified against two keep and two drop colours
// and blended, the record pushed. The pointer sweeps across the image, a
// fixed distance per step, row after row.
//
// Printed as "ms NAME VALUE", milliseconds per step, the best of ten runs
// in processor time, the runs interleaved (BestOfRuns.h); the goal is under
// 16, so that a step fits in a frame at 60 Hz:
//   magic_brush_step_255_move_100   100 pixels per step (a fast sweep)
//   magic_brush_step_255_move_25    25 pixels per step (a slow one)
//   magic_brush_step_255_move_100_with_view   the same with the work
//                                   window's 2560 x 1440 view at zoom 1
//                                   drawing what changed, as it does
//                                   after every step
//
// Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/support/BenchFilterPlugin.h"
#include "bench/support/BestOfRuns.h"
#include "display/CMaskView.h"
#include "display/CWorkDocument.h"
#include "host/Document.h"
#include "host/HostServices.h"
#include "image/HostImage.h"
#include "platform/Window.h"
#include "shell/PlugIn.h"
#include "tools/BrushStroke.h"
#include "tools/CMagicBrushTool.h"
#include "tools/ColourClassifier.h"

namespace {

constexpr int kWidth = 8000, kHeight = 6000;
constexpr int kViewWidth = 2560, kViewHeight = 1440;

host::Document& document() {
  static host::Document doc = [] {
    host::Document d(host::kModeRGB, kWidth, kHeight);
    for (int c = 0; c < 3; ++c) {
      uint8_t* p = d.colour(c).data();
      for (size_t i = 0; i < d.pixelCount(); ++i) p[i] = static_cast<uint8_t>((i % kWidth) * (c + 1) + i / kWidth);
    }
    d.alphas.push_back({"Mask", d.newPlane(0)});
    d.target = {host::Target::Alpha, "Mask", 0};
    return d;
  }();
  return doc;
}

// Two keep and two drop colours: the classifier of both kinds, the most
// work per pixel of the usual cases.
struct PickedColours : ClassifierSource {
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return {{200, 60, 40}, {220, 180, 120}}; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return {{30, 90, 200}, {20, 20, 20}}; }
  ClassifierThresholds thresholdPair() override { return {64, 192}; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return {}; }
};

// Runs `body` inside a filter call on the document, with the mask and
// working images set as the application sets them, optionally with a main
// view at zoom 1.
void withDocument(const std::function<void(CWorkDocument&)>& body, bool view) {
  host::HostServices services;
  benchFilterStart() = [&](FilterRecord& r) {
    gFilterRecord = &r;
    gImageMode = r.imageMode;
    gColourChannels = colourChannelsOfMode(r.imageMode);
    HostImage mask(PixelLayout{1, kHostModeGrayScale}, static_cast<int16_t>(r.planes - 1), HostStream::output);
    HostImage working(PixelLayout{gColourChannels, gImageMode}, 0, HostStream::input, true);
    PickedColours colours;
    setClassifierSource(&colours);
    if (view) {
      platform::Window frame;
      platform::CreateParams params;
      params.title = "Bench";
      params.style = platform::kWsPopup | platform::kWsVisible;
      params.rect = {0, 0, kViewWidth, kViewHeight};
      frame.create(params);
      {
        CMaskView mainView;
        mainView.CreateView(frame, {0, 0, kViewWidth, kViewHeight}, 1);
        CWorkDocument::Current()->SetWorkImages(&mask, &working);
        body(*CWorkDocument::Current());
      }
      frame.destroy();
    } else {
      CWorkDocument doc;
      doc.SetWorkImages(&mask, &working);
      body(doc);
    }
    setClassifierSource(nullptr);
    gFilterRecord = nullptr;
  };
  services.runFilter(benchFilterPlugin(), document());
  benchFilterStart() = nullptr;
}

ImagePosition identity(PointRing::Entry e) { return {static_cast<double>(e.v), static_cast<double>(e.h)}; }

// Steps of `move` pixels along rows 260 pixels apart, within what the view
// shows when there is one. The history is emptied (untimed) after every
// row so that the run does not hold on to every record.
void BM_MagicBrushStep(benchmark::State& state, int move, bool view) {
  withDocument(
      [&](CWorkDocument& doc) {
        BrushStroke stroke;
        const BrushSetting setting{255, 255, kFullBrushStrength, 64};
        const BrushStroke::Apply apply = [](Image& coverage, CWorkDocument& d, std::vector<Rect>& bands) {
          TheMagicBrushTool().ApplyStroke(coverage, d, bands);
        };
        const int right = view ? kViewWidth - 130 : kWidth - 130, bottom = view ? kViewHeight - 130 : kHeight - 130;
        int v = 130, h = 130;
        stroke.ring().reset();
        stroke.ring().recordPress(static_cast<int16_t>(v), static_cast<int16_t>(h), false);
        stroke.step(doc, identity, setting, apply);
        for (auto _ : state) {
          h += move;
          if (h > right) {
            state.PauseTiming();
            while (doc.purge(1) != 0) {
            }
            v = v + 260 > bottom ? 130 : v + 260;
            h = 130;
            stroke.ring().reset();
            stroke.ring().recordPress(static_cast<int16_t>(v), static_cast<int16_t>(h), false);
            state.ResumeTiming();
          } else {
            stroke.ring().recordPress(static_cast<int16_t>(v), static_cast<int16_t>(h), false);
          }
          stroke.step(doc, identity, setting, apply);
        }
        while (doc.purge(1) != 0) {
        }
      },
      view);
}

void BM_Move100(benchmark::State& state) { BM_MagicBrushStep(state, 100, false); }
void BM_Move25(benchmark::State& state) { BM_MagicBrushStep(state, 25, false); }
void BM_Move100WithView(benchmark::State& state) { BM_MagicBrushStep(state, 100, true); }

void registerAll() {
  bestOf(benchmark::RegisterBenchmark("BM_Move100", BM_Move100), 10);
  bestOf(benchmark::RegisterBenchmark("BM_Move25", BM_Move25), 10);
  bestOf(benchmark::RegisterBenchmark("BM_Move100WithView", BM_Move100WithView), 10);
}

void printFigure(const BestTimes& reporter, const char* name, const char* benchmark) {
  const auto it = reporter.times.find(benchmark);
  if (it != reporter.times.end()) std::printf("ms %s %.3f\n", name, it->second);
}

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  registerAll();
  BestTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printFigure(reporter, "magic_brush_step_255_move_100", "BM_Move100");
  printFigure(reporter, "magic_brush_step_255_move_25", "BM_Move25");
  printFigure(reporter, "magic_brush_step_255_move_100_with_view", "BM_Move100WithView");
  benchmark::Shutdown();
  return 0;
}
