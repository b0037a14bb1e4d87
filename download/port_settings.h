// Port settings: what "COM1" .. "COM4" stand for (a device and its line settings), kept in the
// settings file, and the termios form of those settings.
#pragma once

#include <termios.h>

#include <string>
#include <vector>

enum class Parity { None, Odd, Even };
enum class FlowControl { None, Hardware, Software };

struct CPortSettings {
  std::string device;  // path of the serial device
  int baud = 19200;
  int dataBits = 8;    // 5 .. 8
  Parity parity = Parity::None;
  int stopBits = 1;    // 1 or 2
  FlowControl flow = FlowControl::None;
};

// 1 .. 4 for exactly "COM1" .. "COM4", else 0.
int ComPortNumber(const std::string& name);
// A port name as a user types it: "COM1" .. "COM4" in any case (port gets the capitals) or a
// device path (any name holding a '/'). Any other word is refused: false, with error a usage
// text that lists the accepted forms.
bool ParsePortName(const std::string& typed, std::string& port, std::string& error);
// The settings a port name stands for before anything was stored: COMn is /dev/ttyS<n-1>, any
// other name is taken as a device path; 19200 baud, 8 data bits, no parity, 1 stop bit, no flow.
CPortSettings DefaultPortSettings(const std::string& name);
// The settings file key holding COMn's settings.
std::string PortSettingsKey(const std::string& name);

// The stored settings of a port name; missing or unreadable values keep their defaults, and
// notes (when given) gets a line for each stored value that could not be used. A name that is
// no COMn is a device path and always has the default line settings.
CPortSettings LoadPortSettings(const std::string& name, std::vector<std::string>* notes = nullptr);
// Stores the settings of COMn; false when name is no COMn, the settings are invalid or the file
// cannot be written; in the last case error (when given) says why.
bool SavePortSettings(const std::string& name, const CPortSettings& settings,
                      std::string* error = nullptr);

// Text forms as stored and as typed on the command line.
const char* ParityText(Parity parity);
const char* FlowControlText(FlowControl flow);
bool ParseParity(const std::string& text, Parity& parity);
bool ParseFlowControl(const std::string& text, FlowControl& flow);
// A decimal number within [low, high]; nothing else accepted.
bool ParseBoundedInt(const std::string& text, int low, int high, int& value);
// The termios speed constant for a baud rate; false when the system has none.
bool BaudToSpeed(int baud, speed_t& speed);
// True when every field holds a value the port can be set to.
bool ValidPortSettings(const CPortSettings& settings);
// One line for listings: "/dev/ttyS0 19200 8N1 flow none".
std::string DescribePortSettings(const CPortSettings& settings);

// Puts the line settings into a termios record made raw: no echo, no line editing, no character
// translation; reads return what is there (the port's own time-outs come from poll).
bool ApplyLineSettings(const CPortSettings& settings, termios& tio);

// Serial devices the system offers: the stable names in /dev/serial/by-id, then every tty that
// a device driver backs (/sys/class/tty), in natural order (ttyS2 before ttyS10).
std::vector<std::string> ListSerialDevices();
