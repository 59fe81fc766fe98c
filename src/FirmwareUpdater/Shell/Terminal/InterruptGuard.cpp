#include "InterruptGuard.h"

#include "Shell/Localization.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace {

volatile std::sig_atomic_t sPresses = 0;
bool sArmed = false;
struct sigaction sBefore[4]; // what disarm() puts back, in the order of kSignals
constexpr int kSignals[4] = {SIGINT, SIGTERM, SIGTSTP, SIGHUP};
// Translated when armed: a signal handler may not look anything up.
char sWarning[512] = "";
std::size_t sWarningLength = 0;
char sStopped[512] = "";
std::size_t sStoppedLength = 0;

void say(const char* inText, std::size_t inLength) {
    const ssize_t ignored = write(STDERR_FILENO, inText, inLength);
    (void)ignored;
}

// Only async-signal-safe calls in the handlers.
void onInterrupt(int) {
    sPresses = sPresses + 1;
    if (sPresses >= 2) {
        say(sStopped, sStoppedLength);
        _exit(CInterruptGuard::kExitInterrupted);
    }
    say(sWarning, sWarningLength);
}

void onStop(int) {
    say(sWarning, sWarningLength);
}

std::size_t lengthOf(int inPrinted, std::size_t inSize) {
    return std::min(static_cast<std::size_t>(std::max(inPrinted, 0)), inSize - 1);
}

void handle(int inSignal, void (*inHandler)(int), struct sigaction* outBefore) {
    struct sigaction action {};
    action.sa_handler = inHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(inSignal, &action, outBefore);
}

} // namespace

void CInterruptGuard::arm() {
    sPresses = 0;
    const int length =
        std::snprintf(sWarning, sizeof sWarning, "\n%s\n%s\n",
                      _("Interrupting now leaves VYR in update mode; run vyr-update again to "
                        "resume."),
                      _("Press Ctrl-C again to stop anyway."));
    sWarningLength = lengthOf(length, sizeof sWarning);
    sStoppedLength = lengthOf(
        std::snprintf(sStopped, sizeof sStopped, "\n%s\n",
                      _("Stopped. VYR stays in update mode; run vyr-update again to resume.")),
        sizeof sStopped);
    if (sArmed) {
        return;
    }
    handle(SIGINT, onInterrupt, &sBefore[0]);
    handle(SIGTERM, onInterrupt, &sBefore[1]);
    handle(SIGTSTP, onStop, &sBefore[2]);
    handle(SIGHUP, SIG_IGN, &sBefore[3]);
    sArmed = true;
}

void CInterruptGuard::disarm() {
    if (!std::exchange(sArmed, false)) {
        return;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        sigaction(kSignals[i], &sBefore[i], nullptr);
    }
}
