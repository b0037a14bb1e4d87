#include "app/gui/status_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

#include "app/gui/dialog_units.h"

namespace {

QLabel* MakeLabel(QWidget* parent, CDialogLayout& layout, const char* text, Qt::Alignment alignment,
                  int x, int y, int width, int height) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  // Field texts come from the programmer and from file names: never read them as markup.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment);
  layout.Add(label, x, y, width, height);
  return label;
}

}  // namespace

CStatusWindow::CStatusWindow(QWidget* owner) : QDialog(owner) {
  setWindowTitle(QString::fromLatin1(kStatusTitle));
  setObjectName(QStringLiteral("135"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(false);
  CDialogLayout layout(QApplication::font());

  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignTop;
  auto field = [&](StatusField id, Qt::Alignment alignment, int x, int y, int width, int height) {
    QLabel* label = MakeLabel(this, layout, "", alignment, x, y, width, height);
    label->setObjectName(QString::number(static_cast<int>(id)));
    fields[id] = label;
    return label;
  };
  field(StatusField::Identification, left, 6, 7, 84, 8);
  field(StatusField::ProgrammerKind, left, 90, 7, 90, 8);
  MakeLabel(this, layout, "Hardware version:  ", right, 5, 20, 65, 8);
  field(StatusField::HardwareVersion, left, 70, 20, 25, 8);
  MakeLabel(this, layout, "Software Version:  ", right, 5, 30, 65, 8);
  field(StatusField::SoftwareVersion, left, 70, 30, 25, 8);
  QLabel* line = field(StatusField::StatusLine, Qt::AlignCenter, 5, 45, 175, 13);
  line->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  progress = new QProgressBar(this);
  progress->setObjectName(QStringLiteral("1013"));
  progress->setTextVisible(false);
  progress->setRange(0, 100);
  progress->setValue(0);
  layout.Add(progress, 5, 60, 175, 10);

  cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("2"));
  layout.Add(cancel, 130, 75, 50, 14);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  const CDialogUnits units = layout.Apply();
  setFixedSize(units.X(187), units.Y(92));
}

void CStatusWindow::SetText(StatusField field, const QString& text) {
  if (QLabel* label = Field(field)) label->setText(text);
}

void CStatusWindow::SetRange(int lower, int upper) {
  // An empty range would turn the bar into a busy indicator.
  if (upper <= lower) upper = lower + 1;
  progress->setRange(lower, upper);
}

void CStatusWindow::SetPosition(int position) {
  // The bar ignores values outside its range; show them at its ends instead.
  progress->setValue(std::clamp(position, progress->minimum(), progress->maximum()));
}

QLabel* CStatusWindow::Field(StatusField field) const {
  auto found = fields.find(field);
  return found == fields.end() ? nullptr : found->second;
}

void CStatusWindow::Finish() {
  finished = true;
  cancel->setText(QStringLiteral("Close"));
  cancel->setEnabled(true);
}

void CStatusWindow::reject() {
  if (finished) {
    hide();
    deleteLater();
    return;
  }
  if (!cancel->isEnabled()) return;  // already stopping
  cancel->setEnabled(false);
  emit stopRequested();
}
