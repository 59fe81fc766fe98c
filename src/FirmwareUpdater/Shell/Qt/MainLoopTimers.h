// The project's main-loop timers (the controller's 0.05 s tick) driven from Qt's event
// loop: a precise single-shot timer that re-arms itself for the next due timer, at most
// 50 ms ahead, because timers installed from another thread cannot wake Qt. It keeps
// firing inside a message box's modal loop; it is held during the transfer.
#pragma once

#include "Platform/EventLoop.h"

#include <QTimer>

class CMainLoopTimers {
  public:
    CMainLoopTimers();

    /// Stops running the timers until resume().
    void hold() { mTimer.stop(); }
    void resume() { mTimer.start(0); }

    /// How long Qt waits for the next turn when the next timer is due in inSeconds
    /// (kEventDurationForever: none): never less, or Qt would wake before it is due and spin.
    static int waitMilliseconds(EventTimerInterval inSeconds);

  private:
    void turn();

    QTimer mTimer;
};
