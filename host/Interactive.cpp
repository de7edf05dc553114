#include "host/Interactive.h"

#include <algorithm>
#include <memory>

#include "host/ColourConversion.h"
#include "host/Document.h"
#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/HostWindow.h"
#include "host/ImageFiles.h"
#include "host/PathRecords.h"
#include "host/ResultMessage.h"
#include "platform/FileDialog.h"
#include "platform/Message.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/WindowDC.h"

namespace host {

namespace {

constexpr const char* kImageFilter = "Images (*.tif;*.tiff;*.png;*.jpg;*.jpeg)|*.tif;*.tiff;*.png;*.jpg;*.jpeg||";
constexpr const char* kSaveFilter = "TIFF (*.tif)|*.tif|PNG (*.png)|*.png||";
constexpr const char* kPathFilter = "SVG (*.svg)|*.svg||";

// Commands of the View and Target menus.
enum : uint32_t {
  kCmdViewComposite = 201,
  kCmdViewTarget = 202,
  kCmdViewSelection = 203,
  kCmdTargetComposite = 300,
  kCmdTargetTransparency = 301,
  kCmdTargetLayerMask = 302,
  kCmdTargetNewAlpha = 303,
  kCmdTargetFirstAlpha = 310,
};

class DocumentWindow : public HostWindow {
 public:
  explicit DocumentWindow(const PluginFolder& plugins) : HostWindow(plugins) {}

  std::unique_ptr<Document> document;
  HostServices services;
  uint32_t view = kCmdViewComposite;

  void rebuildTargetMenu() {
    platform::Menu* bar = menu();
    if (bar == nullptr) return;
    platform::Menu::Item* item = bar->findByText("Ta&rget");
    if (item == nullptr || !item->submenu) return;
    item->submenu = std::make_unique<platform::Menu>();
    platform::Menu& m = *item->submenu;
    m.appendItem("&Composite", kCmdTargetComposite);
    if (!document) return;
    if (document->transparency) m.appendItem("&Transparency", kCmdTargetTransparency);
    if (document->layerMask) m.appendItem("&Layer Mask", kCmdTargetLayerMask);
    for (size_t i = 0; i < document->alphas.size(); ++i)
      m.appendItem(document->alphas[i].name, kCmdTargetFirstAlpha + static_cast<uint32_t>(i));
    m.appendSeparator();
    m.appendItem("&New Alpha Channel", kCmdTargetNewAlpha);
  }

  void report(const std::string& text) {
    platform::messageBox(this, text, kHostWindowTitle, platform::kMbIconExclamation | platform::kMbOk);
  }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    try {
      if (message == platform::kWmPaint) {
        paint();
        return 0;
      }
      if (message == platform::kWmClose) {
        platform::postQuitMessage(0);
        return 0;
      }
      if (message == platform::kWmCommand && command(platform::lowWord(wParam))) return 0;
    } catch (const std::exception& e) {
      // Nothing may leave a message handler; the user is told instead.
      report(e.what());
      return 0;
    }
    return HostWindow::handleMessage(message, wParam, lParam);
  }

 private:
  bool command(uint32_t id) {
    switch (id) {
      case kCmdOpen: {
        auto file = platform::openFileDialog(this, kImageFilter);
        if (file) document = std::make_unique<Document>(openImage(*file));
        break;
      }
      case kCmdSaveAs: {
        if (!document) throw Failure("there is no document to save");
        auto file = platform::saveFileDialog(this, kSaveFilter, "untitled.tif", true);
        if (file) saveImage(*document, *file);
        return true;
      }
      case kCmdExportPath: {
        if (!document) throw Failure("there is no document");
        auto file = platform::saveFileDialog(this, kPathFilter, "path.svg", true);
        if (file) savePath(*document, *file);
        return true;
      }
      case kCmdQuit: platform::postQuitMessage(0); return true;
      case kCmdViewComposite:
      case kCmdViewTarget:
      case kCmdViewSelection: view = id; break;
      default:
        if (!document || id < kCmdTargetComposite || id >= kFirstPluginCmd) return false;
        if (id >= kCmdTargetFirstAlpha && id - kCmdTargetFirstAlpha >= document->alphas.size()) return false;
        chooseTarget(id);
        break;
    }
    rebuildTargetMenu();
    invalidate();
    return true;
  }

  void chooseTarget(uint32_t id) {
    Target t;
    if (id == kCmdTargetTransparency) t.kind = Target::Transparency;
    else if (id == kCmdTargetLayerMask) t.kind = Target::LayerMask;
    else if (id == kCmdTargetNewAlpha) {
      const std::string name = "Alpha " + std::to_string(document->alphas.size() + 1);
      document->alphas.push_back({name, document->newPlane(0)});
      t = {Target::Alpha, name, 0};
    } else if (id >= kCmdTargetFirstAlpha) {
      t = {Target::Alpha, document->alphas.at(id - kCmdTargetFirstAlpha).name, 0};
    }
    document->target = t;
  }

  // The document scaled down by a whole factor to fit, the chosen channel
  // colour managed, the work path on top.
  void paint() {
    platform::PaintDC dc(*this);
    const platform::Rect client = clientRect();
    dc.fillRect(client, platform::Brush::solid(platform::rgb(96, 96, 96)));
    if (!document || client.width() <= 0 || client.height() <= 0) return;
    const Document& doc = *document;
    const int32_t k = std::max({1, (doc.width() + client.width() - 1) / client.width(),
                                (doc.height() + client.height() - 1) / client.height()});
    const int32_t w = doc.width() / k, h = doc.height() / k;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3), pixels(static_cast<size_t>(w) * 4);
    const Plane* single = nullptr;
    if (view == kCmdViewSelection && doc.selection) single = &*doc.selection;
    if (view == kCmdViewTarget) single = &document->targetPlane();
    for (int32_t y = 0; y < h; ++y) {
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(k) * static_cast<size_t>(doc.width());
      if (single != nullptr) {
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t v = (*single)[row + static_cast<size_t>(x * k)];
          rgb[static_cast<size_t>(x) * 3] = rgb[static_cast<size_t>(x) * 3 + 1] = rgb[static_cast<size_t>(x) * 3 + 2] = v;
        }
      } else {
        const int n = doc.colourCount();
        for (int32_t x = 0; x < w; ++x)
          for (int c = 0; c < n; ++c)
            pixels[static_cast<size_t>(x * n + c)] = doc.colour(c)[row + static_cast<size_t>(x * k)];
        toRgb(doc.mode(), pixels.data(), static_cast<size_t>(w), static_cast<size_t>(n), rgb.data());
      }
      dc.setPixelsRgb24({0, y, w, y + 1}, rgb.data(), static_cast<ptrdiff_t>(rgb.size()));
    }
    if (doc.workPath.empty()) return;
    dc.setPen({platform::kPenSolid, platform::rgb(255, 40, 40)});
    for (const Subpath& s : decodePath(doc.workPath, doc.width(), doc.height())) {
      if (s.knots.empty()) continue;
      auto at = [&](const PathPoint& p) {
        return platform::Point{static_cast<int32_t>(p.h / k), static_cast<int32_t>(p.v / k)};
      };
      dc.moveTo(at(s.knots[0].anchor));
      for (size_t i = 1; i < s.knots.size(); ++i) dc.lineTo(at(s.knots[i].anchor));
      if (s.closed) dc.lineTo(at(s.knots[0].anchor));
    }
  }
};

}  // namespace

int runInteractive(const PluginFolder& plugins, const std::optional<std::filesystem::path>& image) {
  DocumentWindow window(plugins);
  if (image) window.document = std::make_unique<Document>(openImage(*image));
  if (!window.open(true)) throw Failure("the host window cannot be made");
  platform::Menu& bar = *window.menu();
  platform::Menu& view = bar.appendSubmenu("&View");
  view.appendItem("&Composite", kCmdViewComposite);
  view.appendItem("&Target Plane", kCmdViewTarget);
  view.appendItem("&Selection", kCmdViewSelection);
  bar.appendSubmenu("Ta&rget");
  window.rebuildTargetMenu();
  window.invalidate();

  platform::Message message;
  while (platform::getMessage(message)) {
    platform::translateMessage(message);
    platform::dispatchMessage(message);
    for (const Plugin* p : window.takeChosenPlugins()) {
      if (!window.document) {
        window.report("Open an image first.");
        continue;
      }
      try {
        const int16_t result = p->isFilter() ? window.services.runFilter(*p, *window.document)
                                             : window.services.runSelection(*p, *window.document);
        tellResult(*p, result, &window);
      } catch (const Failure& f) {
        window.report(f.what());
      }
      window.rebuildTargetMenu();
      window.invalidate();
    }
  }
  return 0;
}

}  // namespace host
