#include "Shell/Launch/StopRule.h"

#include "Shell/Launch/Endings.h"
#include "Shell/Launch/StatusLock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// What the handler reads: only lock-free atomics and buffers written before it can run.
std::atomic<bool> sTransfer{false};
std::atomic<bool> sRequested{false};
std::atomic<bool> sWarned{false};
std::atomic<CStatusLock*> sLock{nullptr};
int sWake[2] = {-1, -1};
struct SLine {
    char text[512] = "";
    std::atomic<std::size_t> length{0};
} sWarning, sStopped;

void say(const SLine& inLine) {
    const ssize_t ignored = write(STDERR_FILENO, inLine.text, inLine.length.load());
    (void)ignored;
}

[[noreturn]] void stopNow() {
    say(sStopped);
    CStopRule::endNow(kExitInterrupted);
}

// Only async-signal-safe calls.
void onSignal(int inSignal) {
    const int saved = errno;
    if (sTransfer) {
        if (inSignal == SIGTSTP) {
            say(sWarning);
        } else if (inSignal != SIGHUP) {
            if (sWarned.exchange(true)) {
                stopNow();
            }
            say(sWarning);
        }
    } else if (sRequested.exchange(true)) {
        stopNow();
    }
    const char wake = 1;
    const ssize_t ignored = write(sWake[1], &wake, 1);
    (void)ignored;
    errno = saved;
}

void handle(int inSignal, void (*inHandler)(int)) {
    struct sigaction action {};
    action.sa_handler = inHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(inSignal, &action, nullptr);
}

void keep(SLine& outLine, const char* inText) {
    outLine.length = 0; // no half-copied line is ever written
    const std::size_t length =
        inText != nullptr ? std::min(std::strlen(inText), sizeof outLine.text) : 0;
    std::memcpy(outLine.text, inText != nullptr ? inText : "", length);
    outLine.length = length;
}

} // namespace

void CStopRule::install() {
    if (sWake[0] >= 0 || pipe2(sWake, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        handle(signal, onSignal);
    }
}

int CStopRule::wakeDescriptor() {
    return sWake[0];
}

void CStopRule::drain() {
    char drained[64];
    while (sWake[0] >= 0 && read(sWake[0], drained, sizeof drained) > 0) {
    }
}

bool CStopRule::requested() {
    return sRequested;
}

bool CStopRule::warned() {
    return sWarned;
}

void CStopRule::presentOnStandardError(const char* inWarning, const char* inStopped) {
    keep(sWarning, inWarning);
    keep(sStopped, inStopped);
}

void CStopRule::holdLock(CStatusLock* inLock) {
    sLock = inLock;
}

void CStopRule::endNow(int inExitStatus) {
    if (CStatusLock* lock = sLock.load()) {
        lock->release();
    }
    _exit(inExitStatus);
}

void CStopRule::forget() {
    sRequested = false;
    sWarned = false;
    drain();
}

CStopRule::CTransfer::CTransfer() {
    sWarned = false;
    sTransfer = true;
    handle(SIGTSTP, onSignal);
}

CStopRule::CTransfer::~CTransfer() {
    handle(SIGTSTP, SIG_DFL);
    sTransfer = false;
}
