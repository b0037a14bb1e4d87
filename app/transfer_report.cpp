#include "app/transfer_report.h"

#include "app/build_driver.h"
#include "download/port_settings.h"
#include "platform/format.h"

std::string PortWithDevice(const std::string& port) {
  const std::string device = LoadPortSettings(port).device;
  return device.empty() || device == port ? port : Format("%s (%s)", port.c_str(), device.c_str());
}

std::string ConnectingText(const std::string& port) {
  return Format("Connecting to %s ...", PortWithDevice(port).c_str());
}

std::string TransferFailureText(const TransferRequest& request, const TransferResult& result) {
  const std::string what = Format("%s to %s", ShortName(request.hexPath).c_str(),
                                  request.kind == TransferKind::Sram ? "SRAM" : "Flash");
  const std::string where = PortWithDevice(request.port);
  switch (result.outcome) {
    case TransferOutcome::Done:
      return std::string();
    case TransferOutcome::BadFile:         // refused before any port was opened
    case TransferOutcome::LostProgrammer:  // already names the port, the device and the address
      return result.errorText;
    case TransferOutcome::Interrupted:
      return Format("Stopped sending %s through %s.\nThe programmer has left its mode and the port is free.",
                    what.c_str(), where.c_str());
    case TransferOutcome::Failed:
      break;
  }
  // The protocol's own text first, then where it happened.
  // The detail starts with the device; a port given as a path is that device already.
  if (!result.detail.empty() && result.detail.rfind(request.port + ":", 0) == 0)
    return Format("%s\n\n%s", result.errorText.c_str(), result.detail.c_str());
  if (!result.detail.empty())
    return Format("%s\n\n%s: %s", result.errorText.c_str(), request.port.c_str(), result.detail.c_str());
  return Format("%s\n\nSending %s through %s.", result.errorText.c_str(), what.c_str(), where.c_str());
}
