#include "Shell/Launch/ComputerPower.h"

#include "Shell/Localization.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace {

// A bus that does not answer must not hold the update up for sd-bus's default 25 s.
constexpr std::uint64_t kCallTimeoutMicroseconds = 3'000'000;
constexpr std::uint32_t kUPowerTypeBattery = 2;

struct SBusUnref {
    void operator()(sd_bus* inBus) const { sd_bus_flush_close_unref(inBus); }
};
using SystemBus = std::unique_ptr<sd_bus, SBusUnref>;

// An sd_bus_error that frees itself.
class CBusError {
  public:
    CBusError() = default;
    ~CBusError() { sd_bus_error_free(&mError); }
    CBusError(const CBusError&) = delete;
    CBusError& operator=(const CBusError&) = delete;

    sd_bus_error* get() { return &mError; }
    bool accessDenied() const { return sd_bus_error_has_name(&mError, SD_BUS_ERROR_ACCESS_DENIED); }
    std::string text(int inResult) const {
        return mError.message != nullptr ? mError.message : std::strerror(-inResult);
    }

  private:
    sd_bus_error mError{nullptr, nullptr, 0};
};

SystemBus openSystemBus(std::string& outProblem) {
    sd_bus* bus = nullptr;
    if (const int result = sd_bus_open_system(&bus); result < 0) {
        outProblem = std::string(_("no system bus:")) + " " + std::strerror(-result);
        return nullptr;
    }
    (void)sd_bus_set_method_call_timeout(bus, kCallTimeoutMicroseconds);
    return SystemBus(bus);
}

// One property of a UPower object; false, with why in outProblem, when it cannot be read.
template <typename T>
bool upowerProperty(sd_bus* inBus, const char* inPath, const char* inInterface, const char* inName,
                    char inType, T& outValue, std::string& outProblem) {
    CBusError error;
    const int result =
        sd_bus_get_property_trivial(inBus, "org.freedesktop.UPower", inPath, inInterface, inName,
                                    error.get(), inType, &outValue);
    if (result < 0) {
        outProblem = error.text(result);
        return false;
    }
    return true;
}

} // namespace

bool CSleepInhibitor::take(const std::string& inWho, const std::string& inWhy,
                           std::string& outProblem) {
    release();
    const SystemBus bus = openSystemBus(outProblem);
    if (bus == nullptr) {
        return false;
    }
    // All the session may block; where the lid and idle are not the session's to block,
    // sleep and shutdown alone still keep the transfer whole.
    for (const char* what : {"sleep:shutdown:idle:handle-lid-switch", "sleep:shutdown"}) {
        CBusError error;
        sd_bus_message* reply = nullptr;
        const int result =
            sd_bus_call_method(bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", "Inhibit", error.get(), &reply,
                               "ssss", what, inWho.c_str(), inWhy.c_str(), "block");
        if (result < 0) {
            outProblem = error.text(result);
            if (error.accessDenied()) {
                continue;
            }
            return false;
        }
        int fd = -1;
        // The descriptor belongs to the reply: the lock is a copy of our own.
        if (sd_bus_message_read(reply, "h", &fd) >= 0) {
            mFd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        }
        sd_bus_message_unref(reply);
        if (mFd < 0) {
            outProblem = "logind answered without a lock";
        }
        return mFd >= 0;
    }
    return false;
}

void CSleepInhibitor::release() {
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
}

std::optional<SPowerSupply> readPowerSupply(std::string& outProblem) {
    const SystemBus bus = openSystemBus(outProblem);
    if (bus == nullptr) {
        return std::nullopt;
    }
    int onBattery = 0;
    if (!upowerProperty(bus.get(), "/org/freedesktop/UPower", "org.freedesktop.UPower", "OnBattery",
                        'b', onBattery, outProblem)) {
        return std::nullopt;
    }
    SPowerSupply supply;
    supply.onBattery = onBattery != 0;
    // The display device is all batteries together, as the desktop shows them.
    const char* display = "/org/freedesktop/UPower/devices/DisplayDevice";
    const char* device = "org.freedesktop.UPower.Device";
    int present = 0;
    std::uint32_t type = 0;
    double percentage = 0;
    std::string ignored;
    if (upowerProperty(bus.get(), display, device, "IsPresent", 'b', present, ignored) &&
        present != 0 && upowerProperty(bus.get(), display, device, "Type", 'u', type, ignored) &&
        type == kUPowerTypeBattery &&
        upowerProperty(bus.get(), display, device, "Percentage", 'd', percentage, ignored)) {
        supply.percentage = percentage;
    }
    return supply;
}

std::string lowBatteryWarning(const SPowerSupply& inSupply) {
    if (!inSupply.onBattery || !inSupply.percentage || *inSupply.percentage >= kLowBatteryPercent) {
        return {};
    }
    // Whole percent, never rounded up to the threshold it is below.
    return formatted(_("The computer runs on battery, at %.0f %%."),
                     std::floor(*inSupply.percentage));
}
