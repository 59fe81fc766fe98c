#include "MainLoopTimers.h"

#include "Platform/EventLoop.h"

#include <algorithm>

namespace {

constexpr double kMaxWaitSeconds = 0.05;

} // namespace

CMainLoopTimers::CMainLoopTimers() {
    mTimer.setSingleShot(true);
    mTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&mTimer, &QTimer::timeout, [this] { turn(); });
    mTimer.start(0);
}

void CMainLoopTimers::turn() {
    const double next = RunDueEventLoopTimers();
    const double wait = next < 0 ? kMaxWaitSeconds : std::min(next, kMaxWaitSeconds);
    mTimer.start(static_cast<int>(wait * 1000));
}
