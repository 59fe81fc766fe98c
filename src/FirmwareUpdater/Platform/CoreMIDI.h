// The MIDI service as the updater's transport uses it: clients, ports, endpoints listed in
// a stable order with a model and a name, packet lists, sending, and the removal notice.
//
// The service is one core over one driver per process (MIDIService.h), installed before
// the first client is created. Read procedures run on a thread of the service, never
// on the caller's; notification procedures run on a thread of the service too.
#pragma once

#include "CoreFoundation.h"
#include "MacTypes.h"

#include <cstdint>

using MIDIObjectRef = std::uint32_t; // 0 is no object
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using MIDITimeStamp = std::uint64_t; // host time: nanoseconds of the monotonic clock
using ItemCount = unsigned long;
using ByteCount = unsigned long;
using MIDINotificationMessageID = std::int32_t;

inline constexpr MIDINotificationMessageID kMIDIMsgObjectAdded = 2;
inline constexpr MIDINotificationMessageID kMIDIMsgObjectRemoved = 3;

inline constexpr OSStatus kMIDIInvalidClient = -10830;
inline constexpr OSStatus kMIDIInvalidPort = -10831;
inline constexpr OSStatus kMIDINoConnection = -10833;
inline constexpr OSStatus kMIDIUnknownEndpoint = -10834;
inline constexpr OSStatus kMIDIUnknownProperty = -10835;
inline constexpr OSStatus kMIDIMessageSendErr = -10838;
inline constexpr OSStatus kMIDIServerStartErr = -10839;
inline constexpr OSStatus kMIDIObjectNotFound = -10842;

/// Property names for MIDIObjectGetStringProperty.
extern const CFStringRef kMIDIPropertyModel;
extern const CFStringRef kMIDIPropertyName;
/// Where the endpoint sits in its MIDI system, for people (for example "20:0").
extern const CFStringRef kMIDIPropertyAddress;

struct MIDINotification {
    MIDINotificationMessageID messageID;
    std::uint32_t messageSize;
};

// A packet list is a count followed by packets laid end to end, each 4-byte aligned; a
// packet's data array is declared with 256 bytes but holds `length` of them.
#pragma pack(push, 4)
struct MIDIPacket {
    MIDITimeStamp timeStamp;
    std::uint16_t length;
    std::uint8_t data[256];
};
struct MIDIPacketList {
    std::uint32_t numPackets;
    MIDIPacket packet[1];
};
#pragma pack(pop)

using MIDINotifyProc = void (*)(const MIDINotification* inMessage, void* inRefCon);
using MIDIReadProc = void (*)(const MIDIPacketList* inList, void* inReadProcRefCon,
                              void* inSrcConnRefCon);

/// The packet that follows inPacket in its list.
const MIDIPacket* MIDIPacketNext(const MIDIPacket* inPacket);
MIDIPacket* MIDIPacketNext(MIDIPacket* inPacket);

/// Empties the list and returns its first packet, the current packet for MIDIPacketListAdd.
MIDIPacket* MIDIPacketListInit(MIDIPacketList* ioList);

/// Adds inData as a new packet after inCurrent, which is the packet the last call returned
/// (or MIDIPacketListInit's result), in a list of inListSize bytes. Returns the new packet,
/// or null, leaving the list as it was, when the packet does not fit in inListSize bytes,
/// when inDataSize is above 65535, or when inCurrent is null or outside the list.
MIDIPacket* MIDIPacketListAdd(MIDIPacketList* ioList, ByteCount inListSize, MIDIPacket* inCurrent,
                              MIDITimeStamp inTime, ByteCount inDataSize,
                              const std::uint8_t* inData);

[[nodiscard]] OSStatus MIDIClientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc,
                                        void* inNotifyRefCon, MIDIClientRef* outClient);
/// Disposes of the client and its ports. No notification of the client runs after it returns.
[[nodiscard]] OSStatus MIDIClientDispose(MIDIClientRef inClient);

ItemCount MIDIGetNumberOfSources();
/// The source at inIndex, 0 when out of range.
MIDIEndpointRef MIDIGetSource(ItemCount inIndex);
ItemCount MIDIGetNumberOfDestinations();
MIDIEndpointRef MIDIGetDestination(ItemCount inIndex);

/// On success stores a new string that the caller releases.
[[nodiscard]] OSStatus MIDIObjectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                                   CFStringRef* outString);

[[nodiscard]] OSStatus MIDIInputPortCreate(MIDIClientRef inClient, CFStringRef inPortName,
                                           MIDIReadProc inReadProc, void* inRefCon,
                                           MIDIPortRef* outPort);
[[nodiscard]] OSStatus MIDIOutputPortCreate(MIDIClientRef inClient, CFStringRef inPortName,
                                            MIDIPortRef* outPort);
/// Disposes of a port. No read procedure of the port runs after it returns, unless it is
/// called from that read procedure itself.
[[nodiscard]] OSStatus MIDIPortDispose(MIDIPortRef inPort);
[[nodiscard]] OSStatus MIDIPortConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource,
                                             void* inConnRefCon);
[[nodiscard]] OSStatus MIDIPortDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource);

/// Sends every packet of the list, in order, to the destination.
[[nodiscard]] OSStatus MIDISend(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                                const MIDIPacketList* inList);
/// Drops output still pending for the destination.
[[nodiscard]] OSStatus MIDIFlushOutput(MIDIEndpointRef inDestination);

/// The current host time, in the time base of packet time stamps.
MIDITimeStamp AudioGetCurrentHostTime();
