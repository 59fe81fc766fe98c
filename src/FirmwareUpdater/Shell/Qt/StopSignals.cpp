#include "StopSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction sBefore[3];
int sPipe[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char mark = 's';
    const ssize_t ignored = write(sPipe[1], &mark, 1);
    (void)ignored;
    errno = saved;
}

} // namespace

CStopSignals::CStopSignals(std::function<void()> inOnSignal) : mOnSignal(std::move(inOnSignal)) {
    if (pipe2(sPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default: the window ends as before
    }
    mNotifier = std::make_unique<QSocketNotifier>(sPipe[0], QSocketNotifier::Read);
    QObject::connect(mNotifier.get(), &QSocketNotifier::activated, [this] {
        char marks[16];
        for (ssize_t n = read(sPipe[0], marks, sizeof marks); n > 0;
             n = read(sPipe[0], marks, sizeof marks)) {
            for (ssize_t i = 0; i < n; ++i) {
                mOnSignal();
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &action, &sBefore[i]);
    }
}

CStopSignals::~CStopSignals() {
    if (mNotifier == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        sigaction(kSignals[i], &sBefore[i], nullptr);
    }
    mNotifier.reset();
    close(sPipe[0]);
    close(sPipe[1]);
    sPipe[0] = sPipe[1] = -1;
}
