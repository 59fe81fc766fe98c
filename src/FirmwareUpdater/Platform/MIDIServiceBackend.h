// The seam behind CoreMIDI.h: one backend provides the MIDI service for the process.
// The virtual service (Virtual/) is one; a backend for real devices plugs in the same way.
#pragma once

#include "CoreMIDI.h"

#include <memory>

class CMIDIServiceBackend {
  public:
    virtual ~CMIDIServiceBackend() = default;

    /// True while a client of this backend exists.
    virtual bool hasClients() const = 0;

    virtual OSStatus clientCreate(CFStringRef inName, MIDINotifyProc inNotifyProc, void* inRefCon,
                                  MIDIClientRef* outClient) = 0;
    virtual OSStatus clientDispose(MIDIClientRef inClient) = 0;
    virtual ItemCount numberOfSources() = 0;
    virtual MIDIEndpointRef source(ItemCount inIndex) = 0;
    virtual ItemCount numberOfDestinations() = 0;
    virtual MIDIEndpointRef destination(ItemCount inIndex) = 0;
    virtual OSStatus objectGetStringProperty(MIDIObjectRef inObject, CFStringRef inPropertyID,
                                             CFStringRef* outString) = 0;
    virtual OSStatus inputPortCreate(MIDIClientRef inClient, CFStringRef inName,
                                     MIDIReadProc inReadProc, void* inRefCon,
                                     MIDIPortRef* outPort) = 0;
    virtual OSStatus outputPortCreate(MIDIClientRef inClient, CFStringRef inName,
                                      MIDIPortRef* outPort) = 0;
    virtual OSStatus portDispose(MIDIPortRef inPort) = 0;
    virtual OSStatus portConnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource,
                                       void* inConnRefCon) = 0;
    virtual OSStatus portDisconnectSource(MIDIPortRef inPort, MIDIEndpointRef inSource) = 0;
    virtual OSStatus send(MIDIPortRef inPort, MIDIEndpointRef inDestination,
                          const MIDIPacketList* inList) = 0;
    virtual OSStatus flushOutput(MIDIEndpointRef inDestination) = 0;
};

/// Makes inBackend the process's MIDI service. Returns noErr, or kMIDIServerStartErr and
/// changes nothing while a client of the installed backend exists. Without a backend,
/// client creation fails with kMIDIServerStartErr and no endpoint is listed.
OSStatus MIDIServiceInstallBackend(std::shared_ptr<CMIDIServiceBackend> inBackend);
