// The keep and drop bars: floating bars that show the keep and the drop
// colour list, with three buttons under the list: a new set, a new colour in
// the current set (both then switch to the list's eyedropper), and delete,
// which deletes the current row and also takes colours and sets dropped on
// it (their source then deletes them).
//
// A bar is as wide as the list's rows and its scroll bar, always; its
// height is the user's, at least 80 pixels.
#pragma once

#include <cstdint>

#include "platform/Controls.h"
#include "platform/DragDrop.h"
#include "platform/FrameWindow.h"
#include "ui/CColourListBox.h"

class ColourList;

class CKeepDropBar : public platform::ControlBar {
 public:
  static constexpr int kNewSetButton = 119;
  static constexpr int kNewColourButton = 120;
  static constexpr int kDeleteButton = 121;
  static constexpr platform::Size kButtonSize{23, 17};
  static constexpr int kDeleteIcon = 183;
  static constexpr int32_t kInitialHeight = 92;
  static constexpr int32_t kMinimumHeight = 80;
  static constexpr int32_t kMaximumDockedHeight = 240;

  struct Icons {
    int newSet, newColour;
  };

  CKeepDropBar(ColourList& list, int titleId, Icons icons);
  ~CKeepDropBar() override;

  // Creates the bar, hidden, floating in a frame owned by the work window,
  // with its list and buttons; the bar's caption (and the list's title) is
  // the string `titleId`.
  bool CreateKeepDropBar(platform::FrameWindow& frame, int barId);

  // The system's scroll-bar width + 73 pixels.
  static int32_t Width();

  CColourListBox& ColourListBox() { return listBox_; }
  platform::PushButton& Button(int id);

  platform::Size calcDynamicSize(int length, unsigned mode) override;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  // The delete button as a drop target: colours and sets dropped on it are
  // taken, and so deleted by the list they came from.
  class CDeleteButton : public platform::PushButton, public platform::DropTarget {
   public:
    explicit CDeleteButton(const CColourListBox& list) : list_(list) {}
    ~CDeleteButton() override;
    uint32_t dragEnter(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                       platform::Point screen, uint32_t allowed) override;
    uint32_t dragOver(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                      platform::Point screen, uint32_t allowed) override;
    void dragLeave(platform::Window& window) override;
    uint32_t drop(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                  platform::Point screen, uint32_t allowed) override;

   protected:
    intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

   private:
    bool Takes(const platform::DataObject& data) const;
    void ShowPressed(bool pressed);
    const CColourListBox& list_;
  };

  void Layout(platform::Size size);
  void ButtonClicked(int id);

  ColourList& list_;
  int titleId_;
  Icons icons_;
  CColourListBox listBox_;
  platform::PushButton newSet_, newColour_;
  CDeleteButton delete_;
};

// The work window's two bars, single for the whole run.
CKeepDropBar& KeepBar();
CKeepDropBar& DropBar();
