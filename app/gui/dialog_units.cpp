#include "app/gui/dialog_units.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

CDialogUnits::CDialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average over the letters, rounded, as dialog templates measure it.
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseWidth = std::max(1, (letters / 26 + 1) / 2);
  baseHeight = std::max(1, metrics.height());
}

void CDialogUnits::Require(int pixels, int units) {
  if (units <= 0) return;
  while (X(units) < pixels) ++baseWidth;
}

int TextWidthNeeded(const QWidget* control) {
  if (const auto* list = qobject_cast<const QComboBox*>(control)) return list->sizeHint().width();
  if (const auto* button = qobject_cast<const QPushButton*>(control)) {
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    return button->fontMetrics().horizontalAdvance(button->text()) + 2 * margin;
  }
  if (const auto* label = qobject_cast<const QLabel*>(control))
    return label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->frameWidth();
  return 0;
}

CDialogUnits CDialogLayout::Apply() {
  for (const Place& place : places) units.Require(TextWidthNeeded(place.control), place.width);
  for (const Place& place : places) {
    QRect rect = units.Rect(place.x, place.y, place.width, place.height);
    // A drop-down list's height in a layout is that of its open list; the closed box keeps the
    // height its style needs, and the open list shows as many entries as there was room for.
    if (auto* list = qobject_cast<QComboBox*>(place.control)) {
      const int closed = list->sizeHint().height();
      const int entry = std::max(1, list->fontMetrics().height());
      list->setMaxVisibleItems(std::max(1, (rect.height() - closed) / entry));
      rect.setHeight(closed);
    }
    place.control->setGeometry(rect);
  }
  return units;
}
