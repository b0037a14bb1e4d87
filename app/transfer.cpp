#include "app/transfer.h"

#include "app/build_driver.h"
#include "download/programmer.h"
#include "platform/format.h"
#include "platform/system_error.h"

TransferResult RunTransfer(CProgrammer& programmer, const TransferRequest& request,
                           const TransferListener& listener) {
  TransferResult result;
  const bool sram = request.kind == TransferKind::Sram;
  // Nothing reaches the programmer from a file that would put wrong bytes on the board.
  result.check = CheckHexFile(request.hexPath, sram ? HexDestination::Sram : HexDestination::Flash);
  if (!result.check.ok) {
    result.outcome = TransferOutcome::BadFile;
    result.errorText = result.check.message;
    programmer.ClearStop();
    return result;
  }
  if (listener.onChecked) listener.onChecked(result.check);

  const std::string shortName = ShortName(request.hexPath);
  // A port that will not open is reported once, with its device and reason (result.detail).
  programmer.port.showOpenFailure = false;
  bool ok = programmer.Connect(request.port);
  if (ok) ok = sram ? programmer.DownloadSram(request.hexPath, shortName)
                    : programmer.DownloadFlash(request.hexPath, shortName);
  // Disconnect's own failure never replaces the text of the failure before it.
  result.errorText = programmer.errorText;
  const int openError = programmer.port.openError;  // set only when Open failed
  const std::string device = programmer.port.config.device;
  const bool closed = programmer.Disconnect();
  if (ok && !closed) result.errorText = programmer.errorText;
  ok = ok && closed;

  if (ok)
    result.outcome = TransferOutcome::Done;
  else if (programmer.lostProgrammer)
    result.outcome = TransferOutcome::LostProgrammer;
  else if (programmer.interrupted)
    result.outcome = TransferOutcome::Interrupted;
  else
    result.outcome = TransferOutcome::Failed;
  if (!ok && openError)
    result.detail = Format("%s: %s", device.c_str(), SystemErrorText(openError).c_str());
  programmer.ClearStop();
  return result;
}
