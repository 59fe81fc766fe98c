// The computer's side of a safe flash: kept awake while the firmware goes out (a logind
// inhibitor lock), and not begun on a low battery (UPower). Both on the system bus; where
// there is none (a container, another init) there is nothing to ask, and the update goes on.
#pragma once

#include <optional>
#include <string>

/// Below this charge, on battery, an update does not begin unless the user overrides it.
inline constexpr double kLowBatteryPercent = 25;

/// While held, the computer neither sleeps nor shuts down nor idles, and the lid switch does
/// nothing, as far as the session may block them. The lock is a file descriptor: it ends
/// with the process, however the process ends.
class CSleepInhibitor {
  public:
    CSleepInhibitor() = default;
    ~CSleepInhibitor() { release(); }
    CSleepInhibitor(const CSleepInhibitor&) = delete;
    CSleepInhibitor& operator=(const CSleepInhibitor&) = delete;

    /// Asks logind for the lock, for inWho (the program) because of inWhy (shown by the
    /// desktop when the user tries to suspend). False, with why in outProblem, when there is
    /// no system bus, no logind, or it refused.
    [[nodiscard]] bool take(const std::string& inWho, const std::string& inWhy,
                            std::string& outProblem);
    void release();
    bool held() const { return mFd >= 0; }

  private:
    int mFd = -1;
};

struct SPowerSupply {
    bool onBattery = false;
    std::optional<double> percentage; // the battery's charge, when a battery is present
};

/// What UPower says of the power supply; nothing, with why in outProblem, when it cannot be
/// asked.
[[nodiscard]] std::optional<SPowerSupply> readPowerSupply(std::string& outProblem);

/// "" when inSupply allows an update; else one sentence that says the battery is low.
std::string lowBatteryWarning(const SPowerSupply& inSupply);
