// Ctrl-C, SIGTERM and SIGHUP during a transfer: the programmer is asked to stop cleanly
// instead of the process dying mid-block and leaving the programmer in the middle of a command.
#pragma once

class CProgrammer;

class CStopOnSignals {
 public:
  // Installs the handlers for the life of the object. A signal while the programmer is
  // connected asks it to stop; one at any other time (a build, a file check), or a second one,
  // ends the process the usual way.
  explicit CStopOnSignals(CProgrammer& programmer);
  ~CStopOnSignals();
  CStopOnSignals(const CStopOnSignals&) = delete;
  CStopOnSignals& operator=(const CStopOnSignals&) = delete;

  // The signal that asked for the stop; 0 when none came.
  int Signal() const;
};
