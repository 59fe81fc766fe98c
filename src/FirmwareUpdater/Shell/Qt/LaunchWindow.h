// What the main window tells about a launch: the firmware image it plays, the device it
// finds at each step, and at the end the outcome with the simulated device's report.
#pragma once

#include "MainWindow.h"
#include "Shell/Launch/Launch.h"

/// Describes inLaunch's image in ioWindow now, and the device whenever a step is marked.
/// After inLaunch.prepare() succeeded; ioWindow must not outlive inLaunch.
void describeLaunch(CMainWindow& ioWindow, const CLaunch& inLaunch);

/// How inLaunch's run ended, for people, with the report when it has one.
QString launchResult(const SEnding& inEnding, const CLaunch& inLaunch);
