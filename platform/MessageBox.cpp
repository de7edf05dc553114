#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QString>

#include "platform/Automation.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "platform/internal/AutomationState.h"
#include "platform/internal/Backend.h"
#include "platform/internal/BitmapImpl.h"

namespace platform {
namespace {

QMessageBox::Icon qtIcon(unsigned flags) {
  switch (flags & kMbIconMask) {
    case kMbIconStop: return QMessageBox::Critical;
    case kMbIconQuestion: return QMessageBox::Question;
    case kMbIconExclamation: return QMessageBox::Warning;
    case kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

QString toQt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The system icon a box's flags name (0: none).
int iconId(unsigned flags) {
  switch (flags & kMbIconMask) {
    case kMbIconStop: return resources::kIdiHand;
    case kMbIconQuestion: return resources::kIdiQuestion;
    case kMbIconExclamation: return resources::kIdiExclamation;
    case kMbIconInformation: return resources::kIdiAsterisk;
    default: return 0;
  }
}

int showQtBox(Window* owner, std::string_view text, std::string_view caption, unsigned flags) {
  backend::ModalOwner modal(owner);
  QMessageBox box(qtIcon(flags), toQt(caption), toQt(text), QMessageBox::NoButton, modal.widget());
  if (modal.widget() != nullptr) box.setWindowModality(Qt::WindowModal);
  // Our own drawing of the icon, as dialogs show it.
  if (const Icon icon = resources::loadIcon(iconId(flags)); !icon.isNull())
    box.setIconPixmap(QPixmap::fromImage(icon.impl().image));
  switch (flags & kMbButtonMask) {
    case kMbOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case kMbYesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case kMbYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
  }
  switch (box.exec()) {
    case QMessageBox::Cancel: return kIdCancel;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return kIdOk;
  }
}

}  // namespace

int messageBox(Window* owner, std::string_view text, std::string_view caption, unsigned flags) {
  if (automation::enabled() || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return automation::answerBox(text, caption, flags);
  return showQtBox(owner, text, caption, flags);
}

void messageBeep(unsigned icon) {
  if (automation::enabled() || QCoreApplication::instance() == nullptr) {
    automation::recordBeep(icon);
    return;
  }
  QApplication::beep();
}

}  // namespace platform
