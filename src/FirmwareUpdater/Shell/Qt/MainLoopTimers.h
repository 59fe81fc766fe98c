// The project's main-loop timers (the controller's 0.05 s tick) driven from Qt's event
// loop: a precise single-shot timer that re-arms itself for the next due timer, at most
// 50 ms ahead, because timers installed from another thread cannot wake Qt. It keeps
// firing inside a message box's modal loop, and never inside the blocking transfer.
#pragma once

#include <QTimer>

class CMainLoopTimers {
  public:
    CMainLoopTimers();

  private:
    void turn();

    QTimer mTimer;
};
