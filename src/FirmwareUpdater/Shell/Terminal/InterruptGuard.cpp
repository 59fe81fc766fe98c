#include "InterruptGuard.h"

#include <csignal>
#include <initializer_list>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t sPresses = 0;

void warn() {
    static const char kWarning[] =
        "\nInterrupting now leaves VYR in update mode; run vyr-update again to resume.\n"
        "Press Ctrl-C again to stop anyway.\n";
    const ssize_t ignored = write(STDERR_FILENO, kWarning, sizeof kWarning - 1);
    (void)ignored;
}

// Only async-signal-safe calls in the handlers.
void onInterrupt(int) {
    sPresses = sPresses + 1;
    if (sPresses >= 2) {
        _exit(CInterruptGuard::kExitInterrupted);
    }
    warn();
}

void onStop(int) {
    warn();
}

void handle(int inSignal, void (*inHandler)(int)) {
    struct sigaction action {};
    action.sa_handler = inHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(inSignal, &action, nullptr);
}

} // namespace

void CInterruptGuard::arm() {
    sPresses = 0;
    handle(SIGINT, onInterrupt);
    handle(SIGTERM, onInterrupt);
    handle(SIGTSTP, onStop);
    handle(SIGHUP, SIG_IGN);
}

void CInterruptGuard::disarm() {
    for (int signal : {SIGINT, SIGTERM, SIGTSTP, SIGHUP}) {
        handle(signal, SIG_DFL);
    }
}
