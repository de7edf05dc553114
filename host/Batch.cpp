#include "host/Batch.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

#include "host/Failure.h"
#include "host/HostServices.h"
#include "host/HostWindow.h"
#include "host/ImageFiles.h"
#include "host/ResultMessage.h"
#include "platform/Automation.h"
#include "platform/Message.h"
#include "platform/MessageBox.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"

namespace host {

namespace {

struct Arity {
  size_t min, max;  // arguments after the command name
};

const std::map<std::string, Arity>& commands() {
  static const std::map<std::string, Arity> table = {
      {"open", {1, 1}},         {"new", {4, 7}},          {"add-transparency", {0, 1}},
      {"add-layer-mask", {0, 1}}, {"add-alpha", {1, 2}},  {"selection", {1, 5}},
      {"target", {1, 2}},       {"host", {2, 3}},         {"filter", {0, 0}},
      {"end", {0, 0}},          {"make-work-path", {0, 0}}, {"about", {1, 1}},
      {"key", {1, 1}},          {"keydown", {1, 1}},      {"keyup", {1, 1}},
      {"mouse", {3, 10}},       {"click", {2, 8}},        {"drag", {2, 66}},
      {"menu", {1, 1}},         {"wait", {1, 1}},         {"answer", {1, 64}},
      {"expect", {1, 2}},       {"save", {1, 1}},         {"save-mask", {1, 1}},
      {"save-path", {1, 1}},    {"screenshot", {2, 2}},   {"compare-mask", {1, 1}},
  };
  return table;
}

// Commands played inside the work window while a filter runs.
bool isWindowCommand(const std::string& c) {
  return c == "key" || c == "keydown" || c == "keyup" || c == "mouse" || c == "click" || c == "drag" ||
         c == "menu" || c == "wait";
}

long parseInteger(const std::string& text, const std::string& what, long min, long max) {
  long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) throw Failure(what + " \"" + text + "\" is not a whole number");
  if (value < min || value > max)
    throw Failure(what + " " + text + " is outside " + std::to_string(min) + " to " + std::to_string(max));
  return value;
}

uint8_t parseByte(const std::string& text, const std::string& what) {
  return static_cast<uint8_t>(parseInteger(text, what, 0, 255));
}

int16_t parseMode(const std::string& text) {
  if (text == "grey") return kModeGrey;
  if (text == "rgb") return kModeRGB;
  if (text == "cmyk") return kModeCMYK;
  if (text == "lab") return kModeLab;
  throw Failure("mode \"" + text + "\" is not grey, rgb, cmyk or lab");
}

void needArgs(const std::vector<std::string>& a, size_t count, const std::string& usage) {
  if (a.size() != count + 1) throw Failure("usage: " + usage);
}

struct KeyStroke {
  uint32_t key = 0;
  unsigned modifiers = 0;
};

// "ctrl+s", "shift+alt+x", "space", "[", "plus", ...
KeyStroke parseKey(const std::string& text) {
  static const std::map<std::string, uint32_t> named = {
      {"space", platform::kVkSpace},   {"tab", platform::kVkTab},         {"esc", platform::kVkEscape},
      {"escape", platform::kVkEscape}, {"backspace", platform::kVkBack},  {"enter", platform::kVkReturn},
      {"return", platform::kVkReturn}, {"delete", platform::kVkDelete},   {"left", platform::kVkLeft},
      {"right", platform::kVkRight},   {"up", platform::kVkUp},           {"down", platform::kVkDown},
      {"home", platform::kVkHome},     {"end", platform::kVkEnd},         {"pageup", platform::kVkPrior},
      {"pagedown", platform::kVkNext}, {"[", platform::kVkOem4},          {"]", platform::kVkOem6},
      {"plus", platform::kVkOemPlus},  {"minus", platform::kVkOemMinus},  {"f1", platform::kVkF1},
      {"f10", platform::kVkF10},
  };
  KeyStroke k;
  std::string rest = text;
  for (;;) {
    const size_t plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 == rest.size()) break;
    const std::string mod = rest.substr(0, plus);
    if (mod == "ctrl") k.modifiers |= platform::automation::kModControl;
    else if (mod == "shift") k.modifiers |= platform::automation::kModShift;
    else if (mod == "alt") k.modifiers |= platform::automation::kModAlt;
    else throw Failure("key \"" + text + "\": \"" + mod + "\" is not ctrl, shift or alt");
    rest = rest.substr(plus + 1);
  }
  if (rest.size() == 1 && std::isalpha(static_cast<unsigned char>(rest[0]))) {
    k.key = static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(rest[0])));
  } else if (rest.size() == 1 && std::isdigit(static_cast<unsigned char>(rest[0]))) {
    k.key = static_cast<uint32_t>(rest[0]);
  } else {
    auto it = named.find(rest);
    if (it == named.end()) throw Failure("key \"" + text + "\" is not known");
    k.key = it->second;
  }
  return k;
}

void pressModifiers(unsigned modifiers, bool down) {
  const std::pair<unsigned, uint32_t> keys[] = {{platform::automation::kModControl, platform::kVkControl},
                                                {platform::automation::kModShift, platform::kVkShift},
                                                {platform::automation::kModAlt, platform::kVkMenu}};
  for (const auto& [bit, vk] : keys)
    if (modifiers & bit) down ? platform::automation::keyDown(vk) : platform::automation::keyUp(vk);
}

// The window a plug-in is working in: the active one, else the front
// visible top-level window that is not the host's.
// The work window's main view publishes how image pixels map to its client
// area in these window properties.
constexpr const char* kMainViewProperty = "Tessaly.MainView";
constexpr const char* kZoomProperty = "Tessaly.ZoomMillionths";
constexpr const char* kVisibleLeftProperty = "Tessaly.VisibleLeft";
constexpr const char* kVisibleTopProperty = "Tessaly.VisibleTop";
// Drags move one stroke-sampling interval apart.
constexpr uint32_t kDragInterval = 25;

platform::Window* findMainView(platform::Window& window) {
  if (window.property(kMainViewProperty) != 0) return &window;
  for (platform::Window* child : window.children())
    if (platform::Window* found = findMainView(*child)) return found;
  return nullptr;
}

// The client point of the centre of image pixel (x, y).
platform::Point imageToClient(const platform::Window& view, int32_t x, int32_t y) {
  const double zoom = static_cast<double>(view.property(kZoomProperty)) / 1e6;
  return {static_cast<int32_t>(std::floor((x + 0.5) * zoom)) - static_cast<int32_t>(view.property(kVisibleLeftProperty)),
          static_cast<int32_t>(std::floor((y + 0.5) * zoom)) - static_cast<int32_t>(view.property(kVisibleTopProperty))};
}

platform::Window* workWindow();

// The first visible window with this title: top-level windows front to
// back, each before its descendants (controls carry titles too).
platform::Window* findTitled(platform::Window& window, const std::string& title) {
  if (!window.isVisible()) return nullptr;
  if (window.title() == title) return &window;
  for (platform::Window* child : window.children())
    if (platform::Window* found = findTitled(*child, title)) return found;
  return nullptr;
}

// Of windows inside one another that share the title, the innermost: a
// floating bar's caption carries its name, and so does the control inside
// it that pointer input is aimed at (the keep and drop bars' lists).
platform::Window& innermostTitled(platform::Window& window, const std::string& title) {
  for (platform::Window* child : window.children())
    if (platform::Window* found = findTitled(*child, title)) return innermostTitled(*found, title);
  return window;
}

// How far the target plane is from a reference matte (the first plane of a
// picture of the same size): the mean absolute difference in grey levels and
// the share of pixels within 16 levels.
std::string maskDistance(Document& doc, const std::filesystem::path& reference) {
  const Document matte = openImage(reference);
  if (matte.width() != doc.width() || matte.height() != doc.height())
    throw Failure(reference.string() + " is not the document's size");
  const Plane& mask = doc.targetPlane();
  const Plane& truth = matte.colour(0);
  uint64_t sum = 0, close = 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    const int difference = std::abs(int{mask[i]} - int{truth[i]});
    sum += static_cast<uint64_t>(difference);
    if (difference <= 16) ++close;
  }
  const double count = static_cast<double>(mask.size());
  char text[160];
  std::snprintf(text, sizeof text, "mean difference %.2f levels, %.1f%% of pixels within 16 levels",
                static_cast<double>(sum) / count, 100.0 * static_cast<double>(close) / count);
  return text;
}

platform::Window& requireTitled(const std::string& title) {
  for (platform::Window* w : platform::Window::topLevelWindows())
    if (platform::Window* found = findTitled(*w, title)) return innermostTitled(*found, title);
  throw Failure("no visible window is titled \"" + title + "\"");
}

platform::Window& requireMainView() {
  for (platform::Window* w : platform::Window::topLevelWindows())
    if (platform::Window* view = findMainView(*w)) return *view;
  throw Failure("no work window with a main view is open");
}

// The work window: the frame around the main view, whichever window is
// active (a navigator may be, after a click in it); before the main view
// exists, the active plug-in window.
platform::Window* workWindow() {
  for (platform::Window* w : platform::Window::topLevelWindows())
    if (findMainView(*w) != nullptr) return w;
  platform::Window* active = platform::Window::active();
  if (active != nullptr && active->title() != kHostWindowTitle) return active->topLevel();
  for (platform::Window* w : platform::Window::topLevelWindows())
    if (w->isVisible() && w->title() != kHostWindowTitle) return w;
  return nullptr;
}

std::vector<std::string> splitMenuPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t gt = path.find('>'); gt != std::string::npos; gt = path.find('>', start)) {
    parts.push_back(path.substr(start, gt - start));
    start = gt + 1;
  }
  parts.push_back(path.substr(start));
  return parts;
}

}  // namespace

std::vector<std::string> splitScriptLine(const std::string& line) {
  std::vector<std::string> args;
  std::string current;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (quoted) {
      if (c == '"') quoted = false;
      else current.push_back(c);
      continue;
    }
    if (c == '#') break;
    if (c == '"') {
      quoted = true;
      inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) args.push_back(current);
      current.clear();
      inWord = false;
    } else {
      current.push_back(c);
      inWord = true;
    }
  }
  if (quoted) throw Failure("a double quote is not closed");
  if (inWord) args.push_back(current);
  return args;
}

BatchRunner::BatchRunner(const PluginFolder& plugins, std::ostream& log)
    : plugins_(plugins), log_(log), services_(std::make_unique<HostServices>()) {}

BatchRunner::~BatchRunner() = default;

int BatchRunner::runFile(const std::filesystem::path& script) {
  std::ifstream in(script);
  if (!in) {
    log_ << script.string() << ": cannot be read\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  return runText(text.str(), script.string());
}

int BatchRunner::runText(const std::string& text, const std::string& scriptName) {
  std::vector<Line> lines;
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  int depth = 0, filterLine = 0;
  try {
    // Check the whole script first, so that a typo near the end does not
    // leave half of the outputs written.
    while (std::getline(in, raw)) {
      ++number;
      Line line{number, splitScriptLine(raw)};
      if (line.args.empty()) continue;
      const std::string& c = line.args[0];
      auto it = commands().find(c);
      if (it == commands().end()) throw Failure("unknown command \"" + c + "\"");
      const size_t n = line.args.size() - 1;
      if (n < it->second.min || n > it->second.max)
        throw Failure("\"" + c + "\" takes " +
                      (it->second.min == it->second.max ? std::to_string(it->second.min)
                                                        : std::to_string(it->second.min) + " to " +
                                                              std::to_string(it->second.max)) +
                      " arguments, not " + std::to_string(n));
      if (c == "filter") {
        if (depth > 0) throw Failure("\"filter\" inside a filter");
        depth = 1;
        filterLine = number;
      } else if (c == "end") {
        if (depth == 0) throw Failure("\"end\" without \"filter\"");
        depth = 0;
      } else if (depth > 0 && !isWindowCommand(c) && c != "answer" && c != "expect" && c != "screenshot") {
        throw Failure("\"" + c + "\" cannot be used inside a filter");
      }
      lines.push_back(std::move(line));
    }
    if (depth > 0) {
      number = filterLine;
      throw Failure("\"filter\" has no matching \"end\"");
    }
  } catch (const Failure& f) {
    log_ << scriptName << ":" << number << ": " << f.what() << "\n";
    return 1;
  }

  platform::automation::setEnabled(true);
  platform::automation::reset();
  boxesChecked_ = 0;
  window_ = std::make_unique<HostWindow>(plugins_);
  size_t i = 0;
  int exitCode = 0;
  try {
    if (!window_->open(true)) throw Failure("the host window cannot be made");
    while (i < lines.size()) i = runCommand(lines, i);
  } catch (const Failure& f) {
    log_ << scriptName << ":" << lines[i].number << ": " << f.what() << "\n";
    exitCode = 1;
  } catch (const LineFailure& f) {
    log_ << scriptName << ":" << f.line << ": " << f.message << "\n";
    exitCode = 1;
  }
  window_.reset();
  platform::discardMessages();
  return exitCode;
}

Document& BatchRunner::requireDocument(const std::string& command) {
  if (!document_) throw Failure("\"" + command + "\" needs a document: use open or new first");
  return *document_;
}

size_t BatchRunner::runCommand(const std::vector<Line>& lines, size_t index) {
  const std::vector<std::string>& a = lines[index].args;
  const std::string& c = a[0];
  // A plug-in call that fails must be expected to, on the next line.
  auto requireResultCheck = [&](const std::string& what, size_t next) {
    if (lastResult_ == 0) return;
    const bool checked = next < lines.size() && lines[next].args[0] == "expect" &&
                         lines[next].args.size() == 3 && lines[next].args[1] == "result";
    if (!checked) throw Failure(what + " ended with result " + std::to_string(lastResult_));
  };

  if (c == "open") {
    document_ = std::make_unique<Document>(openImage(a[1]));
  } else if (c == "new") {
    const int16_t mode = parseMode(a[1]);
    const auto width = static_cast<int32_t>(parseInteger(a[2], "width", 1, kMaxDocumentSide));
    const auto height = static_cast<int32_t>(parseInteger(a[3], "height", 1, kMaxDocumentSide));
    const size_t channels = static_cast<size_t>(colourChannelCount(mode));
    if (a.size() - 4 != channels)
      throw Failure("a " + std::string(modeName(mode)) + " colour has " + std::to_string(channels) + " values");
    std::vector<uint8_t> values;
    for (size_t v = 4; v < a.size(); ++v) values.push_back(parseByte(a[v], "value"));
    document_ = std::make_unique<Document>(mode, width, height, values);
  } else if (c == "add-transparency" || c == "add-layer-mask") {
    Document& doc = requireDocument(c);
    const uint8_t value = a.size() > 1 ? parseByte(a[1], "value") : 255;
    (c == "add-transparency" ? doc.transparency : doc.layerMask) = doc.newPlane(value);
    if (c == "add-transparency" && doc.target.kind == Target::Composite) doc.target.kind = Target::Transparency;
  } else if (c == "add-alpha") {
    Document& doc = requireDocument(c);
    if (doc.findAlpha(a[1]) != nullptr) throw Failure("an alpha channel \"" + a[1] + "\" exists already");
    Plane plane = doc.newPlane(0);
    if (a.size() > 2) {
      const bool number = !a[2].empty() && a[2].find_first_not_of("0123456789") == std::string::npos;
      if (number) {
        plane = doc.newPlane(parseByte(a[2], "value"));
      } else {
        Document grey = openImage(a[2]);
        if (grey.mode() != kModeGrey || grey.width() != doc.width() || grey.height() != doc.height())
          throw Failure(a[2] + ": an alpha channel comes from a greyscale image of the document's size (" +
                        std::to_string(doc.width()) + " x " + std::to_string(doc.height()) + ")");
        plane = std::move(grey.colour(0));
      }
    }
    doc.alphas.push_back({a[1], std::move(plane)});
  } else if (c == "selection") {
    Document& doc = requireDocument(c);
    if (a[1] == "none") {
      needArgs(a, 1, "selection none");
      doc.selection.reset();
    } else if (a[1] == "rect") {
      needArgs(a, 5, "selection rect TOP LEFT BOTTOM RIGHT");
      const long top = parseInteger(a[2], "top", 0, doc.height()), left = parseInteger(a[3], "left", 0, doc.width());
      const long bottom = parseInteger(a[4], "bottom", top, doc.height());
      const long right = parseInteger(a[5], "right", left, doc.width());
      Plane sel = doc.newPlane(0);
      for (long y = top; y < bottom; ++y)
        std::fill_n(sel.begin() + y * doc.width() + left, right - left, uint8_t{255});
      doc.selection = std::move(sel);
    } else if (a[1] == "channel") {
      needArgs(a, 2, "selection channel NAME");
      AlphaChannel* alpha = doc.findAlpha(a[2]);
      if (alpha == nullptr) throw Failure("the document has no alpha channel \"" + a[2] + "\"");
      doc.selection = alpha->data;
    } else {
      throw Failure("usage: selection none | rect TOP LEFT BOTTOM RIGHT | channel NAME");
    }
  } else if (c == "target") {
    Document& doc = requireDocument(c);
    Target t;
    if (a[1] == "composite" && a.size() == 2) {
      t.kind = Target::Composite;
    } else if (a[1] == "transparency" && a.size() == 2) {
      t.kind = Target::Transparency;
    } else if (a[1] == "layer-mask" && a.size() == 2) {
      t.kind = Target::LayerMask;
    } else if (a[1] == "quick-mask" && a.size() == 2) {
      t.kind = Target::QuickMask;
      // The Quick Mask shows the selection: selected pixels are 255.
      if (!doc.quickMask) doc.quickMask = doc.selection ? *doc.selection : doc.newPlane(255);
    } else if (a[1] == "alpha" && a.size() == 3) {
      t.kind = Target::Alpha;
      t.alphaName = a[2];
    } else if (a[1] == "colour" && a.size() == 3) {
      t.kind = Target::Colour;
      t.colour = static_cast<int>(parseInteger(a[2], "colour channel", 0, doc.colourCount() - 1));
    } else {
      throw Failure("usage: target composite | transparency | layer-mask | quick-mask | alpha NAME | colour N");
    }
    const Target previous = doc.target;
    doc.target = t;
    try {
      doc.targetPlanes();
    } catch (const Failure&) {
      doc.target = previous;
      throw;
    }
  } else if (c == "host") {
    if (a[1] == "memory" && a.size() == 3) {
      services_->memory().setLimit(parseInteger(a[2], "memory", 0, INT32_MAX));
    } else if (a[1] == "fail-advance" && a.size() == 4) {
      services_->failAdvance(static_cast<int>(parseInteger(a[2], "call number", 1, INT32_MAX)),
                             static_cast<int16_t>(parseInteger(a[3], "result code", INT16_MIN, INT16_MAX)));
    } else {
      throw Failure("usage: host memory BYTES | host fail-advance N CODE");
    }
  } else if (c == "filter") {
    size_t end = index + 1;
    while (lines[end].args[0] != "end") ++end;
    std::vector<Line> block(lines.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                            lines.begin() + static_cast<std::ptrdiff_t>(end));
    runFilter(block, lines[end].number);
    requireResultCheck("Filter > Corvane > Tessaly...", end + 1);
    runPostedCommands();
    return end + 1;
  } else if (c == "end") {
    // Reached only through runFilter.
  } else if (c == "make-work-path") {
    runMakeWorkPath();
    requireResultCheck("Select > Corvane Tessaly > Make Work Path...", index + 1);
    runPostedCommands();
  } else if (c == "about") {
    runAbout(a[1]);
  } else if (isWindowCommand(c)) {
    throw Failure("\"" + c + "\" is played inside filter ... end");
  } else if (c == "answer") {
    if (a[1] == "file") {
      needArgs(a, 2, "answer file PATH");
      platform::automation::queueFileAnswer(a[2]);
    } else if (a[1] == "cancel" && a.size() == 2) {
      platform::automation::queueFileAnswer("");
    } else {
      static const std::map<std::string, int> boxButtons = {
          {"OK", platform::kIdOk}, {"Cancel", platform::kIdCancel}, {"Yes", platform::kIdYes}, {"No", platform::kIdNo}};
      platform::automation::DialogAnswer answer;
      answer.button = a[1];
      for (size_t f = 2; f < a.size(); ++f) {
        const size_t eq = a[f].find('=');
        if (eq == std::string::npos) throw Failure("field value \"" + a[f] + "\" is not ID=VALUE");
        const int id = static_cast<int>(parseInteger(a[f].substr(0, eq), "control id", 1, 65535));
        answer.fields[id] = a[f].substr(eq + 1);
      }
      // A box button without field values answers a message box; anything
      // else answers a dialog.
      auto box = boxButtons.find(a[1]);
      if (box != boxButtons.end() && answer.fields.empty()) platform::automation::queueBoxAnswer(box->second);
      else platform::automation::queueDialogAnswer(answer);
    }
  } else if (c == "expect") {
    const auto& boxes = platform::automation::shownBoxes();
    if (a[1] == "result") {
      needArgs(a, 2, "expect result N");
      const long want = parseInteger(a[2], "result", INT16_MIN, INT16_MAX);
      if (!resultKnown_) throw Failure("expect result: no plug-in has been called");
      if (want != lastResult_)
        throw Failure("expected result " + std::to_string(want) + ", the plug-in returned " + std::to_string(lastResult_));
    } else if (a[1] == "box") {
      needArgs(a, 2, "expect box \"TEXT\"");
      bool found = false;
      for (size_t b = boxesChecked_; b < boxes.size() && !found; ++b) found = boxes[b].text.rfind(a[2], 0) == 0;
      const size_t shown = boxes.size() - std::min(boxesChecked_, boxes.size());
      boxesChecked_ = boxes.size();
      if (!found)
        throw Failure("expected a message box starting \"" + a[2] + "\"; " +
                      (shown == 0 ? std::string("none was shown")
                                  : std::to_string(shown) + " other(s) shown, the last \"" + boxes.back().text + "\""));
    } else if (a[1] == "no-box") {
      needArgs(a, 1, "expect no-box");
      const size_t shown = boxes.size() - std::min(boxesChecked_, boxes.size());
      boxesChecked_ = boxes.size();
      if (shown != 0) throw Failure("expected no message box; \"" + boxes.back().text + "\" was shown");
    } else {
      throw Failure("usage: expect result N | expect box \"TEXT\" | expect no-box");
    }
  } else if (c == "save") {
    saveImage(requireDocument(c), a[1]);
    log_ << "wrote " << a[1] << "\n";
  } else if (c == "save-mask") {
    Document& doc = requireDocument(c);
    saveGreyPng(doc.targetPlane(), doc.width(), doc.height(), a[1]);
    log_ << "wrote " << a[1] << "\n";
  } else if (c == "compare-mask") {
    log_ << "mask against " << a[1] << ": " << maskDistance(requireDocument(c), a[1]) << "\n";
  } else if (c == "save-path") {
    savePath(requireDocument(c), a[1]);
    log_ << "wrote " << a[1] << "\n";
  } else if (c == "screenshot") {
    // The whole screen, every window in its order; else a top-level window
    // by its title, else a visible window inside one (a bar, named by its
    // Window menu item, or a control).
    if (a[1] == "desktop") {
      const platform::Rect screen{0, 0, platform::systemMetric(platform::kSmCxScreen),
                                  platform::systemMetric(platform::kSmCyScreen)};
      if (!platform::automation::saveDesktopScreenshot(screen, a[2]))
        throw Failure(a[2] + ": the screenshot cannot be written");
      log_ << "wrote " << a[2] << "\n";
      return index + 1;
    }
    platform::Window* w = a[1] == "main-view" ? &requireMainView() : platform::automation::findWindow(a[1]);
    if (w == nullptr) w = &requireTitled(a[1]);
    if (!platform::automation::saveScreenshot(*w, a[2])) throw Failure(a[2] + ": the screenshot cannot be written");
    log_ << "wrote " << a[2] << "\n";
  }
  return index + 1;
}

void BatchRunner::runAbout(const std::string& which) {
  const Plugin* p = which == "filter"      ? plugins_.find("8BFM", "Tessaly...")
                    : which == "selection" ? plugins_.find("8BSM", "Make Work Path...")
                                           : nullptr;
  if (which != "filter" && which != "selection") throw Failure("usage: about filter | about selection");
  if (p == nullptr) throw Failure("the " + which + " plug-in is not loaded");
  lastResult_ = services_->runAbout(*p);
  resultKnown_ = true;
}

int16_t BatchRunner::runPlugin(const Plugin& plugin) {
  Document& doc = requireDocument(plugin.isFilter() ? "filter" : "make-work-path");
  const int16_t result = plugin.isFilter() ? services_->runFilter(plugin, doc) : services_->runSelection(plugin, doc);
  // A failure the plug-in did not explain is the host's to tell, in a box
  // as in interactive use, and on the log so that a run shows it too.
  if (const std::optional<std::string> message = tellResult(plugin, result, window_.get()))
    log_ << plugin.menuPath() << ": " << *message << "\n";
  // What the plug-in posted to the host's window arrives now.
  platform::automation::drainMessages();
  return result;
}

// Menu commands the plug-in posted to the host's window (the filter asks for
// "Make Work Path..." this way) run after its call, as in an editor.
void BatchRunner::runPostedCommands() {
  // What the plug-in posted to the host's window arrives as the window's
  // commands once the queue is served.
  platform::automation::drainMessages();
  for (std::vector<const Plugin*> chosen = window_->takeChosenPlugins(); !chosen.empty();
       chosen = window_->takeChosenPlugins())
    for (const Plugin* p : chosen) {
      const int16_t result = runPlugin(*p);
      if (result != 0) throw Failure(p->menuPath() + " (posted by the plug-in) ended with result " + std::to_string(result));
    }
}

void BatchRunner::playInWindow(const Line& line) {
  const std::vector<std::string>& a = line.args;
  const std::string& c = a[0];
  if (c == "key" || c == "keydown" || c == "keyup") {
    const KeyStroke k = parseKey(a[1]);
    if (c == "key") {
      platform::automation::keyPress(k.key, k.modifiers);
    } else if (c == "keydown") {
      pressModifiers(k.modifiers, true);
      platform::automation::keyDown(k.key);
    } else {
      platform::automation::keyUp(k.key);
      pressModifiers(k.modifiers, false);
    }
  } else if (c == "menu") {
    platform::Window* frame = workWindow();
    if (frame == nullptr) throw Failure("no work window is open");
    if (!platform::automation::chooseMenuItem(*frame, splitMenuPath(a[1])))
      throw Failure("the menu item \"" + a[1] + "\" is missing or disabled");
  } else if (c == "wait") {
    platform::automation::advanceTime(static_cast<uint32_t>(parseInteger(a[1], "time", 0, 3600000)));
  } else if (c == "mouse" || c == "click" || c == "drag") {
    playMouse(a);
  } else {
    // answer, expect and screenshot work as outside.
    std::vector<Line> single{line};
    runCommand(single, 0);
  }
}

// mouse down|move|up X Y [right] [shift] [ctrl] [alt]; click X Y [...];
// drag X1,Y1 X2,Y2 ... [...]: image pixels of the main view; with a final
// "in NAME", client pixels of the window titled NAME.
void BatchRunner::playMouse(std::vector<std::string> a) {
  const std::string& c = a[0];
  platform::Window* named = nullptr;
  if (a.size() >= 3 && a[a.size() - 2] == "in") {
    named = &requireTitled(a.back());
    a.resize(a.size() - 2);
  }
  platform::Window& view = named != nullptr ? *named : requireMainView();
  const auto toClient = [&](int32_t x, int32_t y) {
    return named != nullptr ? platform::Point{x, y} : imageToClient(view, x, y);
  };
  unsigned modifiers = 0;
  auto button = platform::automation::Button::kLeft;
  std::vector<platform::Point> points;
  size_t first = c == "mouse" ? 2 : 1;
  if (c == "mouse" && a[1] != "down" && a[1] != "move" && a[1] != "up")
    throw Failure("usage: mouse down|move|up X Y [right] [shift] [ctrl] [alt]");
  for (size_t i = first; i < a.size(); ++i) {
    const std::string& word = a[i];
    if (word == "right") {
      button = platform::automation::Button::kRight;
    } else if (word == "shift") {
      modifiers |= platform::automation::kModShift;
    } else if (word == "ctrl") {
      modifiers |= platform::automation::kModControl;
    } else if (word == "alt") {
      modifiers |= platform::automation::kModAlt;
    } else if (c == "drag") {
      const size_t comma = word.find(',');
      if (comma == std::string::npos) throw Failure("drag points are X,Y: \"" + word + "\"");
      points.push_back(toClient(static_cast<int32_t>(parseInteger(word.substr(0, comma), "x", -32768, 32767)),
                                static_cast<int32_t>(parseInteger(word.substr(comma + 1), "y", -32768, 32767))));
    } else if (i + 1 < a.size()) {
      points.push_back(toClient(static_cast<int32_t>(parseInteger(word, "x", -32768, 32767)),
                                static_cast<int32_t>(parseInteger(a[i + 1], "y", -32768, 32767))));
      ++i;
    } else {
      throw Failure("\"" + word + "\" is no coordinate or modifier");
    }
  }
  if (points.empty() || (c != "drag" && points.size() != 1)) throw Failure("\"" + c + "\" needs its point");
  pressModifiers(modifiers, true);
  if (c == "mouse") {
    if (a[1] == "down") platform::automation::mouseDown(view, points[0], button);
    if (a[1] == "move") platform::automation::mouseMove(view, points[0]);
    if (a[1] == "up") platform::automation::mouseUp(view, points[0], button);
  } else if (c == "click") {
    // The press is handled while the button is still down, as with a hand
    // on the mouse: a brush samples the pointer then.
    platform::automation::mouseDown(view, points[0], button);
    platform::automation::drainMessages();
    platform::automation::mouseUp(view, points[0], button);
  } else {
    // After the press, each move and the release are steps ahead of the
    // script's next line: played from here one by one, each after the
    // input before it was handled, or by the loop the press opened (a drag
    // and drop runs one) whenever that loop waits.
    auto remaining = std::make_shared<size_t>(points.size());
    std::vector<std::function<void()>> rest;
    for (size_t p = 1; p < points.size(); ++p)
      rest.emplace_back([&view, point = points[p], remaining] {
        --*remaining;
        platform::automation::mouseMove(view, point);
      });
    rest.emplace_back([&view, point = points.back(), button, remaining] {
      --*remaining;
      platform::automation::mouseUp(view, point, button);
    });
    platform::automation::setInputInterval(kDragInterval);
    platform::automation::queueStepsFirst(std::move(rest));
    platform::automation::mouseDown(view, points.front(), button);
    while (*remaining > 0) {
      platform::automation::drainMessages();
      platform::automation::runNextStep();
    }
    platform::automation::setInputInterval(0);
  }
  pressModifiers(modifiers, false);
}

void BatchRunner::runFilter(const std::vector<Line>& block, int endLine) {
  const Plugin* p = plugins_.find("8BFM", "Tessaly...");
  if (p == nullptr) throw Failure("Filter > Corvane > Tessaly... is not loaded");
  requireDocument("filter");
  // The block's lines are played one at a time whenever the work window
  // waits for input; a failure stops the playing and is reported after the
  // filter has returned (nothing may be thrown through the plug-in).
  std::optional<LineFailure> failure;
  size_t played = 0;
  bool reachedEnd = false, returned = false;
  // Answers written right after the line that opens a box or dialog are
  // given before it, so they are waiting when the box asks: a box takes its
  // answer at once.
  std::vector<const Line*> order;
  for (size_t i = 0; i < block.size();) {
    size_t answers = i + 1;
    while (isWindowCommand(block[i].args[0]) && answers < block.size() && block[answers].args[0] == "answer")
      order.push_back(&block[answers++]);
    order.push_back(&block[i]);
    i = answers;
  }
  for (const Line* next : order)
    platform::automation::queueStep([this, &line = *next, &failure, &played, &returned] {
      if (failure || returned) return;
      ++played;
      try {
        playInWindow(line);
      } catch (const std::exception& e) {
        failure = LineFailure{line.number, e.what()};
      }
    });
  // Reached only when the work window itself waits after the last line: a
  // dialog still open then answers for itself first.
  platform::automation::queueOuterLoopStep([&] {
    if (!failure && !returned) reachedEnd = true;
  });
  lastResult_ = runPlugin(*p);
  resultKnown_ = true;
  returned = true;
  const std::string problem = platform::automation::takeScriptProblem();
  if (!problem.empty() && !failure && played > 0) failure = LineFailure{order[played - 1]->number, problem};
  const bool unplayed = played < block.size() && !failure;
  // Steps the filter did not take are dropped.
  while (platform::automation::runNextStep()) {
  }
  if (failure) throw *failure;
  if (unplayed)
    throw LineFailure{order[played]->number, "the filter ended before this line was played (result " +
                                                std::to_string(lastResult_) + ")"};
  if (reachedEnd) throw LineFailure{endLine, "the filter still ran at \"end\""};
}

void BatchRunner::runMakeWorkPath() {
  const Plugin* p = plugins_.find("8BSM", "Make Work Path...");
  if (p == nullptr) throw Failure("Select > Corvane Tessaly > Make Work Path... is not loaded");
  lastResult_ = runPlugin(*p);
  resultKnown_ = true;
}

}  // namespace host
