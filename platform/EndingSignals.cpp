#include "EndingSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace kolvane {
namespace {

constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};

// The holds under way in the low byte, the signal that came meanwhile above it: one word,
// so that a handler on any thread and the thread ending the last hold agree on who acts.
std::atomic<unsigned> held{0};
constexpr unsigned kHolds = 0xFF;
constexpr unsigned kSignalShift = 8;

std::atomic<int> namedFolder{-1};
char namedFile[NAME_MAX + 1];

// Only calls a signal handler may make.
void EndBy(int signal) {
  const int folder = namedFolder.load();
  if (folder >= 0) ::unlinkat(folder, namedFile, 0);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  ::sigaction(signal, &byDefault, nullptr);
  // To the process, not the thread: a thread that blocks it cannot keep it from acting.
  // In the handler it acts as the handler returns, or at once on another thread.
  ::kill(::getpid(), signal);
}

void OnEndingSignal(int signal) {
  const int savedErrno = errno;
  unsigned state = held.load();
  while ((state & kHolds) != 0) {
    if ((state >> kSignalShift) != 0 ||
        held.compare_exchange_weak(state, state | static_cast<unsigned>(signal) << kSignalShift)) {
      errno = savedErrno;
      return;
    }
  }
  EndBy(signal);
  errno = savedErrno;
}

void Install() {
  static const bool installed = [] {
    for (const int signal : kEndingSignals) {
      struct sigaction old {};
      if (::sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 ||
          old.sa_handler != SIG_DFL) {
        continue;
      }
      struct sigaction act {};
      act.sa_handler = OnEndingSignal;
      sigemptyset(&act.sa_mask);
      for (const int other : kEndingSignals) sigaddset(&act.sa_mask, other);
      act.sa_flags = SA_RESTART;
      ::sigaction(signal, &act, nullptr);
    }
    return true;
  }();
  (void)installed;
}

}  // namespace

HoldEndingSignals::HoldEndingSignals() {
  Install();
  held.fetch_add(1);
}

HoldEndingSignals::~HoldEndingSignals() {
  unsigned state = held.load();
  unsigned next;
  do {
    next = (state & kHolds) == 1 ? 0 : state - 1;
  } while (!held.compare_exchange_weak(state, next));
  if (next == 0 && (state >> kSignalShift) != 0) EndBy(static_cast<int>(state >> kSignalShift));
}

void RemoveWhenEnded(int folder, const char* name) {
  Install();
  namedFolder.store(-1);
  std::strncpy(namedFile, name, sizeof namedFile - 1);
  namedFolder.store(folder);
}

void KeepWhenEnded() { namedFolder.store(-1); }

}  // namespace kolvane
