// The seam beneath the MIDI service core: a driver is a MIDI system's endpoints and bytes.
// The core (MIDIServiceCore.h) owns the references, the tables, the delivery thread and
// the notifications; a driver lists endpoints, reads their properties, opens what the
// clients and ports need, moves bytes, and reports input, removals and arrivals.
//
// The core never calls a driver while it holds its own lock, so a driver may call the
// host from inside its own lock; the host never calls the driver back from those calls.
#pragma once

#include "CoreMIDI.h"

#include <cstdint>
#include <string>
#include <vector>

/// A driver's identity of an endpoint: never given to another endpoint, not even to the
/// same device plugged in again.
using MIDIDriverEndpoint = std::uint64_t;

/// What the core offers its driver.
class CMIDIDriverHost {
  public:
    virtual ~CMIDIDriverHost() = default;
    /// Bytes from inSource for the input port inPort, one packet per element, stamped
    /// inTime; delivered on the core's thread if the port is still connected to inSource.
    virtual void received(MIDIPortRef inPort, MIDIDriverEndpoint inSource,
                          const std::vector<std::vector<std::uint8_t>>& inPackets,
                          MIDITimeStamp inTime) = 0;
    /// The endpoint is gone: its reference dies and every client hears of it.
    virtual void removed(MIDIDriverEndpoint inEndpoint) = 0;
    /// An endpoint appeared: every client hears of it.
    virtual void arrived() = 0;
    /// Returns once everything received before the call has been delivered.
    virtual void waitUntilDelivered() = 0;
};

class CMIDIDriver {
  public:
    enum class EProperty { kModel, kName, kAddress };

    virtual ~CMIDIDriver() = default;

    /// Called once, before anything else. False, with why in the user's words in outWhy,
    /// when the MIDI system cannot be used; the service does not start then.
    [[nodiscard]] virtual bool attach(CMIDIDriverHost& inHost, std::string& outWhy) = 0;
    /// Called once, last: no call of the host may follow its return.
    virtual void detach() = 0;

    /// Every source (destination) in the order the system gives them.
    virtual std::vector<MIDIDriverEndpoint> endpoints(bool inSources) = 0;
    /// kMIDIObjectNotFound for an endpoint that is gone, kMIDIUnknownProperty when unreadable.
    [[nodiscard]] virtual OSStatus property(MIDIDriverEndpoint inEndpoint, EProperty inProperty,
                                            std::string& outValue) = 0;

    [[nodiscard]] virtual OSStatus openClient(MIDIClientRef inClient,
                                              const std::string& inName) = 0;
    virtual void closeClient(MIDIClientRef inClient) = 0;
    [[nodiscard]] virtual OSStatus openPort(MIDIClientRef inClient, MIDIPortRef inPort,
                                            bool inInput) = 0;
    [[nodiscard]] virtual OSStatus closePort(MIDIPortRef inPort) = 0;
    [[nodiscard]] virtual OSStatus connect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) = 0;
    [[nodiscard]] virtual OSStatus disconnect(MIDIPortRef inPort, MIDIDriverEndpoint inSource) = 0;
    /// Sends every packet in order; noErr only when every byte was taken.
    [[nodiscard]] virtual OSStatus send(MIDIPortRef inPort, MIDIDriverEndpoint inDestination,
                                        const MIDIPacketList& inList) = 0;
    [[nodiscard]] virtual OSStatus flush(MIDIDriverEndpoint inDestination) = 0;

    /// What made the last call fail, in the user's words, once; "" when there is nothing
    /// to add to the status.
    virtual std::string takeProblem() { return {}; }
};
