// What the main window tells about a launch: the firmware image it plays, the device it
// finds at each step, and at the end the outcome with the simulated device's report.
#pragma once

#include "MainWindow.h"
#include "Shell/Launch/Launch.h"

/// Describes inLaunch's image in ioWindow now, and the device whenever a step is marked.
/// After inLaunch.prepare() succeeded; ioWindow must not outlive inLaunch.
void describeLaunch(CMainWindow& ioWindow, const CLaunch& inLaunch);

/// Shows in ioWindow how inLaunch's run ended and what to do next, with the report when it
/// has one; unless it completed, inTryAgain (if given) runs it again.
void showLaunchResult(CMainWindow& ioWindow, const SEnding& inEnding, const CLaunch& inLaunch,
                      std::function<void()> inTryAgain);
