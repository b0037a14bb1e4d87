// Dialog units: the font-relative coordinates in which the windows' layouts are given. One
// horizontal unit is a quarter of the font's average character width, one vertical unit an
// eighth of its height. Platform fonts run wider than the one the layouts were drawn for, so
// the horizontal unit grows until every control's text fits the width it was given.
#pragma once

#include <QFont>
#include <QRect>

#include <vector>

class QWidget;

class CDialogUnits {
 public:
  explicit CDialogUnits(const QFont& font);

  int X(int units) const { return Scale(units, baseWidth, 4); }
  int Y(int units) const { return Scale(units, baseHeight, 8); }
  QRect Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }

  // Widens the horizontal unit so that X(units) is at least pixels.
  void Require(int pixels, int units);

  int baseWidth;   // average character width in pixels
  int baseHeight;  // character height in pixels

 private:
  // units * base / divisor, rounded to the nearest pixel.
  static int Scale(int units, int base, int divisor) { return (units * base + divisor / 2) / divisor; }
};

// The controls of one window with their places in dialog units. Nothing moves until Apply.
class CDialogLayout {
 public:
  explicit CDialogLayout(const QFont& font) : units(font) {}

  template <class Control>
  Control* Add(Control* control, int x, int y, int width, int height) {
    places.push_back({control, x, y, width, height});
    return control;
  }
  // Fixes the units so every text fits, places every control and returns the units used.
  CDialogUnits Apply();

 private:
  struct Place {
    QWidget* control;
    int x, y, width, height;
  };
  CDialogUnits units;
  std::vector<Place> places;
};

// The width in pixels a control needs to show its text whole (0 when it has none).
int TextWidthNeeded(const QWidget* control);
