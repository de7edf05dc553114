// State shared by windows, queues, input and the backend.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "platform/Message.h"
#include "platform/Window.h"

namespace platform {

struct WindowSystem {
  static std::recursive_mutex& mutex();
  static std::vector<Window*>& allWindows();    // live windows, creation order
  static std::vector<Window*>& topLevels();     // front to back
  static Window*& focusWindow();
  static Window*& activeWindow();
  static Window*& captureWindow();
  static std::thread::id threadOf(const Window* w);
  static void setThread(const Window* w, std::thread::id id);
  static void forget(const Window* w);

  // Real or scripted input at a screen point / for the focus window.
  static void mouseInput(uint32_t message, Point screen, uint32_t flags);
  static void keyInput(uint32_t virtualKey, bool down);
  // The visible window under a screen point (client areas only), or null.
  static Window* windowAt(Point screen);

  // The first window of the thread that needs painting (top-levels before
  // their children), or null.
  static Window* windowNeedingPaint(std::thread::id thread, Window* within);
  static void framebufferChanged(Window* w);
  static void dropMessagesFor(Window* w);

  // Draws a window's client framebuffer and its visible children, the
  // client area's top-left at `at` (a QPainter).
  static void paintTree(void* painter, Window* w, Point at);
  // Draws the caption, frame and menu bar of a top-level window.
  static void paintNonClient(Window* w, Framebuffer& target);
  static Rect rectInParent(const Window* w) { return w->rect_; }
};

}  // namespace platform
