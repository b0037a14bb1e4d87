// What the user is told about one transfer: where it goes while it connects, and its one
// failure message naming the port, the device, what failed and where.
#pragma once

#include <string>

#include "app/transfer.h"

// "COM2 (/dev/ttyUSB0)", or the port alone when it is a device path.
std::string PortWithDevice(const std::string& port);

// Said while the port is opened and the programmer identified.
std::string ConnectingText(const std::string& port);

// The one message of a transfer that did not end Done.
std::string TransferFailureText(const TransferRequest& request, const TransferResult& result);
