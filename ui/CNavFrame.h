// Navigators: small floating windows owned by the work window, each showing
// the whole image with a box around the main view's visible area, through
// which the user moves the main view. Up to 20 can be open; they are kept in
// one list, in the order they were opened, and stored in workspaces as one
// `Navi` record each.
#pragma once

#include <cstdint>
#include <functional>

#include "display/CMainView.h"
#include "platform/Window.h"
#include "workspace/WorkspaceParticipant.h"

class CNavFrame : public platform::Window {
 public:
  static constexpr int kMaxNavigators = 20;
  static constexpr platform::Point kMinimumTrackSize{100, 100};
  // Where the first new navigator opens (screen coordinates).
  static constexpr platform::Rect kFirstCascadeRect{500, 45, 700, 245};

  // Creates a navigator owned by `owner` at a screen rectangle, its view
  // fitting the whole image; not shown yet. Null when a window could not be
  // created.
  static CNavFrame* CreateAt(platform::Window& owner, const platform::Rect& rect);
  // Opens a navigator at the cascade rectangle, sized to the image at its
  // fit zoom and shown without activation, and moves the cascade on. Null
  // when 20 are open or a window could not be created.
  static CNavFrame* NewNavigator(platform::Window& owner);

  static int Count() { return count_; }
  // The open navigators in list order (oldest first); null after the last.
  static CNavFrame* First();
  CNavFrame* Next() const;
  static void CloseAll();
  // Shows every navigator without activating it, or hides them all.
  static void ShowAll(bool show);

  // Where the next new navigator opens; tests put it back.
  static const platform::Rect& CascadeRect() { return cascade_; }
  static void ResetCascade() { cascade_ = kFirstCascadeRect; }

  CNavigatorView& View() { return view_; }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void destroyed() override { delete this; }

 private:
  // A node of the circular list; the sentinel is one too.
  struct Link {
    Link* prev = this;
    Link* next = this;
    CNavFrame* frame = nullptr;  // null in the sentinel
  };

  CNavFrame();
  ~CNavFrame() override;
  static void MoveCascade();

  Link link_;
  CNavigatorView view_;

  static Link sentinel_;
  static int count_;
  static platform::Rect cascade_;
};

// The workspace's navigator records: loading closes every navigator and
// opens one for each record (owned by the application's main window);
// saving writes one record per open navigator with its window rectangle.
class NavigatorParticipant : public WorkspaceParticipant {
 public:
  // The window that owns the navigators a load opens: the application's
  // main window unless told otherwise.
  using OwnerLookup = std::function<platform::Window*()>;
  explicit NavigatorParticipant(Registration registration = Registration::kRegistered,
                                OwnerLookup owner = MainWindow);

  void BeginLoad() override { CNavFrame::CloseAll(); }
  // A record opens a navigator at its rectangle, made at least the
  // minimum size and at most the screen's; records beyond the 20th
  // navigator are ignored.
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
  void Save() override;

  static platform::Window* MainWindow();

 private:
  OwnerLookup owner_;
};

constexpr uint32_t kNavigatorTag = fourCharCode("Navi");
constexpr uint32_t kNavigatorRecordSize = 16;
