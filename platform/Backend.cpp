#include "platform/internal/Backend.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdlib>
#include <cstring>

namespace platform::backend {
namespace {

bool displayAvailable() {
  return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
}

}  // namespace

void ensureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && !displayAvailable()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tessaly";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends: windows of the host and of the plug-in
  // share it.
  new QApplication(argc, argv);
}

bool hasScreen() {
  ensureApplication();
  return QGuiApplication::platformName() != QLatin1String("offscreen") &&
         QGuiApplication::platformName() != QLatin1String("minimal");
}

}  // namespace platform::backend
