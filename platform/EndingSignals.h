// The signals that end the program and that it can keep waiting a moment: SIGHUP (its
// terminal closed), SIGINT, SIGQUIT and SIGTERM (log-out). Only SIGKILL, which nothing can
// hold, still ends it anywhere.
#pragma once

namespace kolvane {

// While one lives, those signals wait; when the last ends, one that came meanwhile ends
// the program there. An output put in place under a hold is never left half named.
// Signals the program ignores stay ignored.
class HoldEndingSignals {
 public:
  HoldEndingSignals();
  ~HoldEndingSignals();
  HoldEndingSignals(const HoldEndingSignals&) = delete;
  HoldEndingSignals& operator=(const HoldEndingSignals&) = delete;
};

// The file of that name in the open folder, written under a name of its own, is removed
// when one of those signals ends the program. One file at a time; the folder stays open
// until KeepWhenEnded().
void RemoveWhenEnded(int folder, const char* name);
void KeepWhenEnded();

}  // namespace kolvane
