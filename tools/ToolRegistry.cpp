#include "tools/ToolRegistry.h"

#include <map>
#include <utility>

#include "display/CNavigatorTool.h"
#include "display/CTool.h"

namespace {

// Constant-initialised, so registrations made while the library loads
// find it ready whatever the order of construction.
ToolRegistration* gFirst = nullptr;

std::function<void(int32_t)>& activationListener() {
  static std::function<void(int32_t)> listener;
  return listener;
}

}  // namespace

ToolRegistration::ToolRegistration(CTool& tool) : tool_(&tool), next_(gFirst) { gFirst = this; }

ToolRegistration::~ToolRegistration() {
  for (ToolRegistration** link = &gFirst; *link != nullptr; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      return;
    }
  }
}

CTool* FindTool(int32_t id) {
  for (ToolRegistration* r = gFirst; r != nullptr; r = r->next_)
    if (r->tool_->CursorResourceId() == id) return r->tool_;
  return nullptr;
}

int32_t ToolIdForKey(uint32_t character, uint32_t flags) {
  const bool ctrl = (flags & 8) != 0, shift = (flags & 4) != 0;
  switch (character) {
    case ' ': case 'H': case 'h': case 202: return kToolHand;
    case 'Z': case 'z': case 189: return ctrl ? 0 : kToolZoom;
    case 'I': case 'i': return kToolKeepEyedropper;
    case 'O': case 'o': return kToolDropEyedropper;
    case 'M': case 'm': return kToolMagicBrush;
    case 'B': case 'b': return kToolPencil;
    case 'F': case 'f': return kToolMagicBucket;
    case 'K': case 'k': return kToolBucket;
    case 'W': case 'w': return kToolMagicWand;
    case 'A': case 'a': return kToolBrush;
    case 'P': case 'p': return kToolPen;
    case 'S': case 's': return ctrl && shift ? kToolEdgeFill : 0;
    default: return 0;
  }
}

namespace {

// The tool each held key selected, so that its release finds it even when
// the modifiers changed in between.
std::map<uint32_t, CTool*>& heldKeys() {
  static std::map<uint32_t, CTool*> held;
  return held;
}

}  // namespace

bool ToolKeyDown(uint32_t key, uint32_t flags, bool repeated) {
  CTool* tool = FindTool(ToolIdForKey(key, flags));
  if (tool == nullptr) return false;
  if (repeated) return true;
  heldKeys()[key] = tool;
  SelectSpringTool(*tool);
  return true;
}

bool ToolKeyUp(uint32_t key, uint32_t) {
  const auto it = heldKeys().find(key);
  if (it == heldKeys().end()) return false;
  CTool* tool = it->second;
  heldKeys().erase(it);
  ReleaseSpringTool(*tool);
  return true;
}

void SetToolActivationListener(std::function<void(int32_t id)> listener) {
  activationListener() = std::move(listener);
}

namespace {
int32_t gCurrentToolId = kToolPencil;
}  // namespace

void AnnounceToolActivation(int32_t id) {
  gCurrentToolId = id;
  if (activationListener()) activationListener()(id);
}

int32_t CurrentToolId() { return gCurrentToolId; }

void SelectPencilAlone() {
  PopToTool(nullptr);
  if (CTool* pencil = FindTool(kToolPencil)) SelectTool(*pencil);
}

namespace {

ToolRegistration gNavigatorRegistration(TheNavigatorTool());

}  // namespace
