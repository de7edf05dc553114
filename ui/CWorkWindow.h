// The work window: the one frame in which the user does all the masking.
// It carries the menu and accelerators, floats the bars, holds the client
// container with the main view, and stores its placement and the bars'
// layout in workspaces.
#pragma once

#include <vector>

#include "platform/FrameWindow.h"
#include "ui/CClientContainer.h"
#include "workspace/WorkspaceParticipant.h"

class CWorkWindow : public platform::FrameWindow {
 public:
  CWorkWindow();
  ~CWorkWindow() override;

  // Loads the frame from resource 1 (menu, accelerators, icon) with the
  // overlapped-window style and no parent.
  bool CreateWorkWindow();
  // Without a default preference file: one navigator, every bar shown, the
  // window maximised.
  void SetDefaultLayout();
  // Hides the window and every window it owns (bars, navigators).
  void HideWithOwnedWindows();
  CMainView& MainView() { return container_.MainView(); }
  // Takes the view settings kept in the workspace and fits the image.
  void RefreshMainView();

  // Tab: hides every visible bar (remembering them) and the navigators, or
  // shows the remembered bars and every navigator again.
  void TogglePalettes();
  bool PalettesHidden() const { return palettesHidden_; }

  bool onCommand(uint32_t id) override;
  bool onUpdateCommand(platform::CommandUpdate& update) override;

  static constexpr platform::Point kMinimumTrackSize{200, 160};

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool onCreateClient() override;

 private:
  // WrkW (placement) and DoSt (bar layout).
  class Participant : public WorkspaceParticipant {
   public:
    explicit Participant(CWorkWindow& window) : window_(window) {}
    void BeginLoad() override { placementLoaded_ = false; }
    void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
    void EndLoad() override;
    void Save() override;

   private:
    CWorkWindow& window_;
    bool placementLoaded_ = false;
  };

  void CreateBars();
  platform::ControlBar* BarOfCommand(uint32_t id) const;

  CClientContainer container_;
  std::vector<platform::ControlBar*> tabHidden_;
  bool palettesHidden_ = false;
  Participant participant_;
};

constexpr uint32_t kWorkWindowPlacementTag = fourCharCode("WrkW");
constexpr uint32_t kBarLayoutTag = fourCharCode("DoSt");
constexpr uint32_t kPlacementRecordSize = 44;
