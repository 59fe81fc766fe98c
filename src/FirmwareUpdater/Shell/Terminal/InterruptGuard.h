// Ctrl-C during the firmware transfer: the first one only warns that stopping leaves the
// device in update mode; the second one ends the program at once.
#pragma once

class CInterruptGuard {
  public:
    /// The exit status after the second Ctrl-C (128 + SIGINT).
    static constexpr int kExitInterrupted = 130;

    /// Installs the two-press handler until disarm() or destruction.
    static void arm();
    /// Puts the default handling back.
    static void disarm();
};
