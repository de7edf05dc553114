// Repainting the main view: a 2560 x 1440 view of an 8000 x 6000 RGB
// document whose mask covers half of it, at zoom 1, 3, 1/4 and 1/16, with
// the stand-alone host's display service drawing every piece; and one
// redraw of a rubber band during a drag; and the plug-in's own share of
// each repaint, with a display service that does nothing. Each is compared with one memcpy
// of the bytes the view shows (2560 x 1440 x 3) and printed as
// "ratio NAME VALUE", our time over the reference's; the milliseconds per
// full view are printed as "ms NAME VALUE". Every time is the best of five
// runs in processor time (BestOfRuns.h).
//
// Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "bench/support/BestOfRuns.h"
#include "bench/support/BenchFilterPlugin.h"
#include "display/CMaskView.h"
#include "display/CTool.h"
#include "host/Document.h"
#include "host/HostServices.h"
#include "platform/Time.h"
#include "platform/Window.h"
#include "shell/PlugIn.h"

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
    uint8_t* mask = d.alphas.back().data.data();
    for (size_t i = 0; i < d.pixelCount(); ++i) mask[i] = (i % kWidth) < kWidth / 2 ? 255 : 0;
    d.target = {host::Target::Alpha, "Mask", 0};
    return d;
  }();
  return doc;
}

HostError noDisplay(const HostPixelMap*, const HostRect32*, int32_t, int32_t, void*) { return kHostNoError; }

// Runs `body` inside a filter call with a main view open on the document;
// without the display service the pieces are prepared and handed to a
// service that does nothing (the plug-in's own share of the time).
void withView(const std::function<void(CMaskView&)>& body, bool display = true) {
  host::HostServices services;
  benchFilterStart() = [&](FilterRecord& r) {
    gFilterRecord = &r;
    if (!display) r.displayPixels = noDisplay;
    gImageMode = r.imageMode;
    gColourChannels = colourChannelsOfMode(r.imageMode);
    platform::Window frame;
    platform::CreateParams params;
    params.title = "Bench";
    params.style = platform::kWsPopup | platform::kWsVisible;
    params.rect = {0, 0, kViewWidth, kViewHeight};
    frame.create(params);
    {
      CMaskView view;
      view.CreateView(frame, {0, 0, kViewWidth, kViewHeight}, 1);
      body(view);
    }
    frame.destroy();
    gFilterRecord = nullptr;
  };
  services.runFilter(benchFilterPlugin(), document());
  benchFilterStart() = nullptr;
}

void BM_FullView(benchmark::State& state, double zoom, bool display = true) {
  withView([&](CMaskView& view) {
    view.SetZoom(zoom);
    const platform::Size content = view.ContentSize();
    view.ScrollTo({content.cx / 2 - kViewWidth / 2, content.cy / 2 - kViewHeight / 2, content.cx / 2 + kViewWidth / 2,
                   content.cy / 2 + kViewHeight / 2},
                  false);
    for (auto _ : state) {
      platform::Region all(view.VisibleWindowRect());
      view.DrawPending(all, platform::tickCount() + 100000);
      if (!all.isEmpty()) state.SkipWithError("the view was not drawn whole");
    }
  }, display);
}

void BM_FullViewZoom1(benchmark::State& state) { BM_FullView(state, 1.0); }
void BM_FullViewZoom3(benchmark::State& state) { BM_FullView(state, 3.0); }
void BM_FullViewQuarter(benchmark::State& state) { BM_FullView(state, 0.25); }
void BM_FullViewSixteenth(benchmark::State& state) { BM_FullView(state, 1.0 / 16); }
void BM_OwnShareZoom1(benchmark::State& state) { BM_FullView(state, 1.0, false); }
void BM_OwnShareZoom3(benchmark::State& state) { BM_FullView(state, 3.0, false); }
void BM_OwnShareQuarter(benchmark::State& state) { BM_FullView(state, 0.25, false); }
void BM_OwnShareSixteenth(benchmark::State& state) { BM_FullView(state, 1.0 / 16, false); }

class BandTool : public CTool {
 public:
  int32_t CursorResourceId() const override { return 3250; }
};

// One mouse move during a drag: the band is hidden and shown again.
void BM_RubberBandRedraw(benchmark::State& state) {
  withView([&](CMaskView& view) {
    BandTool tool;
    SelectTool(tool);
    ToolMouseDown(view, {100, 100}, 1);
    int32_t x = 2000;
    for (auto _ : state) {
      ToolMouseMove(view, {x, 1300}, 1);
      x = x == 2000 ? 2001 : 2000;
    }
    ToolMouseUp(view, {x, 1300}, 0);
    ResetToolStack();
  });
}

void BM_MemcpyView(benchmark::State& state) {
  const size_t bytes = size_t{kViewWidth} * kViewHeight * 3;
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

void bestOfFive(benchmark::internal::Benchmark* b) { bestOf(b, 5); }

BENCHMARK(BM_FullViewZoom1)->Apply(bestOfFive);
BENCHMARK(BM_FullViewZoom3)->Apply(bestOfFive);
BENCHMARK(BM_FullViewQuarter)->Apply(bestOfFive);
BENCHMARK(BM_FullViewSixteenth)->Apply(bestOfFive);
BENCHMARK(BM_OwnShareZoom1)->Apply(bestOfFive);
BENCHMARK(BM_OwnShareZoom3)->Apply(bestOfFive);
BENCHMARK(BM_OwnShareQuarter)->Apply(bestOfFive);
BENCHMARK(BM_OwnShareSixteenth)->Apply(bestOfFive);
BENCHMARK(BM_RubberBandRedraw)->Apply(bestOfFive);
BENCHMARK(BM_MemcpyView)->Apply(bestOfFive);

void printResult(const BestTimes& reporter, const char* name, const char* ours) {
  reporter.printRatio(name, ours, "BM_MemcpyView");
  const auto a = reporter.times.find(ours);
  if (a != reporter.times.end()) std::printf("ms %s %.3f\n", name, a->second);
}

}  // namespace

int main(int argc, char** argv) {
  initializeInterleaved(argc, argv);
  BestTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printResult(reporter, "full_view_zoom_1_vs_memcpy", "BM_FullViewZoom1");
  printResult(reporter, "full_view_zoom_3_vs_memcpy", "BM_FullViewZoom3");
  printResult(reporter, "full_view_zoom_1_4_vs_memcpy", "BM_FullViewQuarter");
  printResult(reporter, "full_view_zoom_1_16_vs_memcpy", "BM_FullViewSixteenth");
  printResult(reporter, "own_share_zoom_1_vs_memcpy", "BM_OwnShareZoom1");
  printResult(reporter, "own_share_zoom_3_vs_memcpy", "BM_OwnShareZoom3");
  printResult(reporter, "own_share_zoom_1_4_vs_memcpy", "BM_OwnShareQuarter");
  printResult(reporter, "own_share_zoom_1_16_vs_memcpy", "BM_OwnShareSixteenth");
  printResult(reporter, "rubber_band_redraw_vs_memcpy", "BM_RubberBandRedraw");
  benchmark::Shutdown();
  return 0;
}
