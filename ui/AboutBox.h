// The filter's about box (dialog 129): a picture that gives way, click by
// click, to two pages of credits and back.
#pragma once

#include <memory>

#include "platform/Dialog.h"

class AboutBox : public platform::Dialog {
 public:
  AboutBox();

  // 0: the picture; 1 and 2: the credit pages (strings 27 and 28).
  int page() const { return page_; }
  // A click on the picture or the text turns the page.
  void TurnPage();

 protected:
  bool onInitDialog() override;
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  void ShowPage();
  int page_ = 0;
  std::unique_ptr<platform::Window> picture_;
  std::unique_ptr<platform::Window> text_;
};

constexpr int kAboutDialog = 129;
constexpr int kAboutPicture = 222;  // bitmap
constexpr int kAboutPictureControl = 1034;
constexpr int kAboutTextControl = 1035;
