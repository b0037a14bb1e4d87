#include "app/cli/stop_on_signals.h"

#include <signal.h>

#include <atomic>

#include "download/programmer.h"

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<CProgrammer*> stopping{nullptr};
volatile sig_atomic_t caught = 0;
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];

void OnSignal(int signal) {
  CProgrammer* programmer = stopping.load();
  if (!programmer || !programmer->InTransfer()) {
    // Nothing to leave cleanly: die of the signal, as without a handler.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  caught = signal;
  programmer->RequestStop();
}

}  // namespace

CStopOnSignals::CStopOnSignals(CProgrammer& programmer) {
  caught = 0;
  stopping.store(&programmer);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // The first signal asks for a clean stop; a second one, for a user who will not wait, acts
  // as if no handler were there.
  action.sa_flags = SA_RESETHAND;
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
    sigaction(kSignals[i], &action, &previous[i]);
    // A signal the caller ignores (a job started with nohup or in the background) stays ignored.
    if (previous[i].sa_handler == SIG_IGN) sigaction(kSignals[i], &previous[i], nullptr);
  }
}

CStopOnSignals::~CStopOnSignals() {
  for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) sigaction(kSignals[i], &previous[i], nullptr);
  stopping.store(nullptr);
}

int CStopOnSignals::Signal() const { return caught; }
