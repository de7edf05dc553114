// The registry through which every tool can be found by its id, and the
// catalogue of tool ids with their keys.
//
// Every tool is one statically constructed object; it (or, for a tool the
// display layer defines, the unit that owns its instance) holds a
// ToolRegistration, which puts the tool at the head of the registry when it
// is constructed and takes it out, wherever it stands, when it goes.
#pragma once

#include <cstdint>
#include <functional>

class CTool;

// Tool ids: the resource id of each tool's cursor and toolbox icon.
enum ToolId : int32_t {
  kToolKeepEyedropper = 3220,
  kToolDropEyedropper = 3230,
  kToolMagicBrush = 3240,
  kToolPencil = 3250,
  kToolMagicBucket = 3260,
  kToolBucket = 3270,
  kToolMagicWand = 3280,
  kToolBrush = 3290,
  kToolPen = 3300,
  kToolEdgeFill = 3302,
  kToolHand = 3310,
  kToolZoom = 3320,
  kToolNavigator = 3322,
};

// Cursors beyond the tools' own.
enum ToolCursorId : int32_t {
  kCursorKeepEyedropperShift = 3221,
  kCursorDropEyedropperShift = 3231,
  kCursorHandGrab = 3311,  // the navigator over its box
  kCursorZoomOut = 3321,
};

// The toolbox's keep-mode switch shows one of these.
enum KeepModeIconId : int32_t {
  kIconKeepModeOff = 3330,
  kIconKeepModeOn = 3340,
};

class ToolRegistration {
 public:
  explicit ToolRegistration(CTool& tool);
  ~ToolRegistration();
  ToolRegistration(const ToolRegistration&) = delete;
  ToolRegistration& operator=(const ToolRegistration&) = delete;

 private:
  friend CTool* FindTool(int32_t id);
  CTool* tool_;
  ToolRegistration* next_;
};

// The registered tool whose CursorResourceId is id, or null.
CTool* FindTool(int32_t id);

// The tool a key selects: the key's character without modifiers (letters
// as capitals or small letters, space, and the characters 202 and 189 that
// some keyboards send for H and Z), with the modifier word of the key
// message (4 Shift, 8 Ctrl). 0 when the key selects no tool.
int32_t ToolIdForKey(uint32_t character, uint32_t flags);

// The tool keys, for the application's key handling. A press that is not
// an auto-repeat selects the key's tool as a spring-loaded tool (a second
// press within the double-click time is a double press); the release ends
// a tool that was only held. True when the key is a tool key whose tool is
// registered (then nothing else is to happen for that key).
bool ToolKeyDown(uint32_t key, uint32_t flags, bool repeated);
bool ToolKeyUp(uint32_t key, uint32_t flags);

// The toolbox listens here: every tool of the catalogue announces its id
// when it becomes active, however it was selected.
void SetToolActivationListener(std::function<void(int32_t id)> listener);
void AnnounceToolActivation(int32_t id);
// Ends every active tool and selects the pencil alone: how a run starts
// without a stored tool.
void SelectPencilAlone();

// The id last announced, the tool the toolbox shows as current; the pencil
// before any.
int32_t CurrentToolId();
