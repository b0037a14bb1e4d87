#include "app/gui/screen_fit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect AvailableRoom(const QWidget* window) {
  QScreen* screen = nullptr;
  if (window && window->parentWidget()) screen = window->parentWidget()->screen();
  if (!screen && window) screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 640, 480);
}

void FitOnScreen(QWidget* window) {
  const QRect room = AvailableRoom(window);
  // The frame is only known once the window manager has decorated a shown window; assume a
  // modest one before that.
  const QRect frame = window->frameGeometry();
  const int extraWidth = std::max(frame.width() - window->width(), window->isVisible() ? 0 : 8);
  const int extraHeight = std::max(frame.height() - window->height(), window->isVisible() ? 0 : 32);
  const QSize most(std::max(1, room.width() - extraWidth), std::max(1, room.height() - extraHeight));
  if (window->width() > most.width() || window->height() > most.height()) {
    const QSize size = window->size().boundedTo(most);
    window->setMinimumSize(window->minimumSize().boundedTo(size));
    window->resize(size);
  }
  // A window not shown yet is placed by Qt (centred on its parent, within the screen).
  if (!window->isVisible()) return;
  QRect placed(window->pos(), window->size() + QSize(extraWidth, extraHeight));
  if (placed.right() > room.right()) placed.moveRight(room.right());
  if (placed.bottom() > room.bottom()) placed.moveBottom(room.bottom());
  if (placed.left() < room.left()) placed.moveLeft(room.left());
  if (placed.top() < room.top()) placed.moveTop(room.top());
  window->move(placed.topLeft());
}
