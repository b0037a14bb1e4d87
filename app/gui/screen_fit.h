// Keeping windows on the screen they open on: a small or scaled screen must never hide a
// window's buttons off its edge.
#pragma once

#include <QRect>

class QWidget;

// The available geometry (without panels) of the screen the window is on, or of its parent's,
// or of the primary screen.
QRect AvailableRoom(const QWidget* window);

// Shrinks a top-level window to the available geometry, frame included, and moves a shown
// one inside it.
void FitOnScreen(QWidget* window);
