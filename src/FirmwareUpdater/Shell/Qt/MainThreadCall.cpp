#include "MainThreadCall.h"

#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

CMainThreadCall::CMainThreadCall(std::function<void()> inCall)
    : mCall(std::move(inCall)), mFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (mFd < 0) {
        throw std::runtime_error("no eventfd for calls to the main thread");
    }
    mNotifier = std::make_unique<QSocketNotifier>(mFd, QSocketNotifier::Read);
    QObject::connect(mNotifier.get(), &QSocketNotifier::activated, [this] {
        std::uint64_t requests = 0;
        if (read(mFd, &requests, sizeof requests) == sizeof requests) {
            mCall();
        }
    });
}

CMainThreadCall::~CMainThreadCall() {
    mNotifier.reset();
    close(mFd);
}

void CMainThreadCall::post() {
    const std::uint64_t one = 1;
    // Only a full counter (2^64 - 2 requests unread) could refuse it.
    const ssize_t written = write(mFd, &one, sizeof one);
    (void)written;
}
