// The firmware transfer must not be cut short by accident: from the progress view to the
// next prompt, a first Ctrl-C or SIGTERM only warns that stopping leaves the device in
// update mode, and the second one ends the program at once; Ctrl-Z warns and does not
// stop; a closed terminal (SIGHUP) does not stop it either.
#pragma once

class CInterruptGuard {
  public:
    /// The exit status after the second Ctrl-C or SIGTERM (128 + SIGINT).
    static constexpr int kExitInterrupted = 130;

    /// Installs the handlers until disarm().
    static void arm();
    /// Puts back the handling there was before arm(); nothing when not armed.
    static void disarm();
};
