#include "ui/AboutBox.h"

#include <memory>

#include "platform/Controls.h"
#include "platform/Resources.h"
#include "resources/StringTable.h"
#include "shell/PlugInServices.h"

namespace {

// The picture and the text answer a click like a button: the dialog gets a
// command with their id.
template <typename Control>
class Clickable : public Control {
 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == platform::kWmLButtonDown) {
      this->parent()->send(platform::kWmCommand, static_cast<uintptr_t>(this->id()));
      return 0;
    }
    return Control::handleMessage(message, wParam, lParam);
  }
};

// Both fill the same area above the OK button.
constexpr platform::Rect kPageArea{12, 40, 308, 190};

void showAboutBox() {
  AboutBox box;
  box.doModal(nullptr);
}

const bool kRegistered = [] {
  plugInServices().showAboutBox = showAboutBox;
  return true;
}();

}  // namespace

AboutBox::AboutBox() : platform::Dialog(kAboutDialog) {}

bool AboutBox::onInitDialog() {
  platform::Dialog::onInitDialog();
  auto picture = std::make_unique<Clickable<platform::StaticImage>>();
  auto text = std::make_unique<Clickable<platform::StaticText>>();
  platform::CreateParams params;
  params.style = platform::kWsChild | platform::kWsVisible;
  params.parent = this;
  params.rect = kPageArea;
  params.id = kAboutPictureControl;
  picture->create(params);
  picture->setImage(platform::resources::loadBitmap(kAboutPicture));
  params.style = platform::kWsChild;
  params.id = kAboutTextControl;
  text->create(params);
  picture_ = std::move(picture);
  text_ = std::move(text);
  page_ = 0;
  ShowPage();
  return true;
}

void AboutBox::TurnPage() {
  page_ = (page_ + 1) % 3;
  ShowPage();
}

void AboutBox::ShowPage() {
  picture_->show(page_ == 0 ? platform::kSwShow : platform::kSwHide);
  text_->show(page_ == 0 ? platform::kSwHide : platform::kSwShow);
  if (page_ != 0) text_->setTitle(stringResource(page_ == 1 ? kStrCreditsPage1 : kStrCreditsPage2));
}

intptr_t AboutBox::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == platform::kWmCommand) {
    const auto id = static_cast<int>(wParam & 0xFFFF);
    if (id == kAboutPictureControl || id == kAboutTextControl) {
      TurnPage();
      return 0;
    }
  }
  return platform::Dialog::handleMessage(message, wParam, lParam);
}
