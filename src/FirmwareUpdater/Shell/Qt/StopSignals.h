// SIGINT, SIGTERM and SIGHUP for a window: each becomes a call on the main thread (the
// handler only writes to a pipe that Qt's loop watches), so the window decides what a stop
// request means at that moment. The handling before is put back on destruction.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

class CStopSignals {
  public:
    explicit CStopSignals(std::function<void()> inOnSignal);
    ~CStopSignals();

    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

  private:
    std::function<void()> mOnSignal;
    std::unique_ptr<QSocketNotifier> mNotifier;
};
