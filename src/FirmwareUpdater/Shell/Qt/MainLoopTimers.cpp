#include "MainLoopTimers.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMaxWaitSeconds = 0.05;

} // namespace

CMainLoopTimers::CMainLoopTimers() {
    mTimer.setSingleShot(true);
    mTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&mTimer, &QTimer::timeout, [this] { turn(); });
    mTimer.start(0);
}

int CMainLoopTimers::waitMilliseconds(EventTimerInterval inSeconds) {
    const double wait = inSeconds < 0 ? kMaxWaitSeconds : std::min(inSeconds, kMaxWaitSeconds);
    return static_cast<int>(std::ceil(wait * 1000));
}

void CMainLoopTimers::turn() {
    mTimer.start(waitMilliseconds(RunDueEventLoopTimers()));
}
