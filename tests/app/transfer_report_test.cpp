// The one box a failed transfer gives: the programmer's text, then where it happened.
#include <gtest/gtest.h>

#include "app/transfer_report.h"

TEST(TransferReport, APortThatWouldNotOpenNamesItsDeviceOnce) {
  TransferRequest request;
  request.hexPath = "/tmp/prog.hex";
  TransferResult result;
  result.errorText = "Failed to open port '/dev/nonexist'";
  result.detail = "/dev/nonexist: No such file or directory";

  // A port given as a device path: the detail already starts with it.
  request.port = "/dev/nonexist";
  EXPECT_EQ(TransferFailureText(request, result),
            "Failed to open port '/dev/nonexist'\n\n/dev/nonexist: No such file or directory");

  // A COM port: the name the user chose, then the device it stands for.
  request.port = "COM2";
  result.errorText = "Failed to open port 'COM2'";
  result.detail = "/dev/ttyS1: No such file or directory";
  EXPECT_EQ(TransferFailureText(request, result),
            "Failed to open port 'COM2'\n\nCOM2: /dev/ttyS1: No such file or directory");
}
