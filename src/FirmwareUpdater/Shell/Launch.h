// One launch of the updater, the same for every front-end: the preference file's place,
// the system log, the firmware image (bundled, or --firmware), and with --simulate the
// simulated device with its misbehaviours and the user's hand that switches it to update
// mode when they confirm the update-mode prompt.
#pragma once

#include "Shell/LaunchOptions.h"
#include "Shell/VYRAppDelegate.h"

#include <cstdio>
#include <memory>
#include <string>

class CLaunch {
  public:
    /// Opens the system log as inProgram; with --simulate installs the simulated device.
    CLaunch(const char* inProgram, SLaunchOptions inOptions);
    ~CLaunch();

    CLaunch(const CLaunch&) = delete;
    CLaunch& operator=(const CLaunch&) = delete;

    /// --prefs, else the simulation's own file, else the user's real one.
    std::string preferencePath() const;
    /// The firmware image's bytes, or nothing when it cannot be found or read.
    std::optional<std::vector<std::uint8_t>> firmwareImage() const;
    /// The whole update with inFrontEnd, from the launch sequence to termination.
    ELaunchOutcome run(CFrontEnd& inFrontEnd);
    /// With --simulate, what the device received; nothing otherwise.
    void printReport(std::FILE* inOutput) const;

  private:
    class CLaunchedUI;

    SLaunchOptions mOptions;
    std::unique_ptr<CSimulation> mSimulation;
};
