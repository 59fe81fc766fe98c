#include "InterruptGuard.h"

#include <csignal>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t sPresses = 0;

void onInterrupt(int) {
    // Only async-signal-safe calls here.
    sPresses = sPresses + 1;
    if (sPresses >= 2) {
        _exit(CInterruptGuard::kExitInterrupted);
    }
    static const char kWarning[] =
        "\nInterrupting now leaves VYR in update mode; run vyr-update again to resume.\n"
        "Press Ctrl-C again to stop anyway.\n";
    const ssize_t ignored = write(STDERR_FILENO, kWarning, sizeof kWarning - 1);
    (void)ignored;
}

} // namespace

void CInterruptGuard::arm() {
    sPresses = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

void CInterruptGuard::disarm() {
    std::signal(SIGINT, SIG_DFL);
}
