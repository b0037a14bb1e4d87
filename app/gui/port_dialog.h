// The port dialog: the device a port name ("COM1" .. "COM4") stands for and its line settings
// (speed, data bits, parity, stop bits, flow control).
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "download/port_settings.h"

class QComboBox;
class QLabel;

class CPortDialog : public QDialog {
  Q_OBJECT

 public:
  CPortDialog(const std::string& portName, const CPortSettings& settings, QWidget* owner = nullptr);

  // The settings as the fields hold them; false with the reason when the port could not use them.
  bool Edited(CPortSettings& settings, QString& reason) const;

  // Runs the dialog over settings; true (settings changed) when the user accepted.
  static bool Edit(const std::string& portName, CPortSettings& settings, QWidget* owner);

  void accept() override;

  QComboBox* device = nullptr;  // offered devices; any path may be typed
  QComboBox* baud = nullptr;    // offered speeds; any the system supports may be typed
  QComboBox* dataBits = nullptr;
  QComboBox* parity = nullptr;
  QComboBox* stopBits = nullptr;
  QComboBox* flow = nullptr;
  QLabel* problem = nullptr;    // why OK was refused

 private:
  CPortSettings original;
};

