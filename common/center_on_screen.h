#pragma once
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace velmo {

// Places a window in the middle of the screen's free area.
inline void center_on_screen(QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

}  // namespace velmo
