#include "app/gui/port_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/qt_text.h"
#include "platform/format.h"

namespace {

const int kOfferedSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};


QComboBox* FixedList(QWidget* parent, const char* name, std::initializer_list<const char*> entries,
                     const std::string& current) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  for (const char* entry : entries) list->addItem(QString::fromLatin1(entry));
  list->setCurrentIndex(std::max(0, list->findText(ToQt(current))));
  return list;
}

}  // namespace

CPortDialog::CPortDialog(const std::string& portName, const CPortSettings& settings, QWidget* owner)
    : QDialog(owner), original(settings) {
  setObjectName(QStringLiteral("PortDialog"));
  setWindowTitle(ToQt(Format("Configure %s", portName.c_str())));

  device = new QComboBox(this);
  device->setObjectName(QStringLiteral("device"));
  device->setEditable(true);
  device->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& path : ListSerialDevices()) device->addItem(PathToQt(path));
  device->setEditText(PathToQt(settings.device));
  device->setMinimumContentsLength(28);

  baud = new QComboBox(this);
  baud->setObjectName(QStringLiteral("baud"));
  baud->setEditable(true);
  baud->setInsertPolicy(QComboBox::NoInsert);
  for (int speed : kOfferedSpeeds) baud->addItem(QString::number(speed));
  baud->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), baud));
  baud->setEditText(QString::number(settings.baud));

  dataBits = FixedList(this, "dataBits", {"5", "6", "7", "8"}, Format("%d", settings.dataBits));
  parity = FixedList(this, "parity", {ParityText(Parity::None), ParityText(Parity::Odd), ParityText(Parity::Even)},
                     ParityText(settings.parity));
  stopBits = FixedList(this, "stopBits", {"1", "2"}, Format("%d", settings.stopBits));
  flow = FixedList(this, "flow",
                   {FlowControlText(FlowControl::None), FlowControlText(FlowControl::Hardware),
                    FlowControlText(FlowControl::Software)},
                   FlowControlText(settings.flow));

  problem = new QLabel(this);
  problem->setObjectName(QStringLiteral("problem"));
  problem->setTextFormat(Qt::PlainText);
  problem->setStyleSheet(QStringLiteral("color: #b00000"));
  problem->hide();

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Device:"), device);
  form->addRow(QStringLiteral("Bits per second:"), baud);
  form->addRow(QStringLiteral("Data bits:"), dataBits);
  form->addRow(QStringLiteral("Parity:"), parity);
  form->addRow(QStringLiteral("Stop bits:"), stopBits);
  form->addRow(QStringLiteral("Flow control:"), flow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CPortDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(problem);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool CPortDialog::Edited(CPortSettings& settings, QString& reason) const {
  CPortSettings edited = original;
  edited.device = PathFromQt(device->currentText());
  if (edited.device.empty()) {
    reason = QStringLiteral("Name the device the port stands for.");
    return false;
  }
  speed_t speed;
  const std::string speedText = FromQt(baud->currentText());
  if (!ParseBoundedInt(speedText, 1, 99999999, edited.baud) || !BaudToSpeed(edited.baud, speed)) {
    reason = ToQt(Format("This system has no speed of %s bits per second.", speedText.c_str()));
    return false;
  }
  edited.dataBits = dataBits->currentIndex() + 5;
  ParseParity(FromQt(parity->currentText()), edited.parity);
  edited.stopBits = stopBits->currentIndex() + 1;
  ParseFlowControl(FromQt(flow->currentText()), edited.flow);
  if (!ValidPortSettings(edited)) {
    reason = QStringLiteral("The port cannot be set to these values.");
    return false;
  }
  settings = edited;
  return true;
}

void CPortDialog::accept() {
  CPortSettings edited;
  QString reason;
  if (!Edited(edited, reason)) {
    problem->setText(reason);
    problem->show();
    return;
  }
  QDialog::accept();
}

bool CPortDialog::Edit(const std::string& portName, CPortSettings& settings, QWidget* owner) {
  CPortDialog dialog(portName, settings, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  QString reason;
  return dialog.Edited(settings, reason);
}
