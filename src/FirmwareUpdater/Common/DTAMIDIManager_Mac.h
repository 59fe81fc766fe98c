// The updater's one connection to the MIDI service: a process-wide singleton with one
// client, at most one input port connected to one source, and at most one output port
// aimed at one destination. It assembles incoming SysEx messages for an input callback and
// sends byte strings as packet lists. Every platform status is returned unchanged (0 is
// success); the manager throws nothing of its own.
//
// Threads: initialize, terminate and the open/close/start/stop/send/list operations are
// called by the application's threads, one at a time. The read procedure runs on the
// service's thread; it holds the manager's critical region while it handles a packet list
// and calls the input callback inside it. closeMidiIn takes the same region, so once it
// returns the input callback is never called again.
#pragma once

#include "Platform/CoreMIDI.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// Receives one complete SysEx message, F0 to F7 inclusive. Runs on the service's thread.
using DTAMIDIInputCallback = void (*)(void* inContext, const std::uint8_t* inData,
                                      std::uint32_t inLength);
using DTAMIDINotifyProc = void (*)(const MIDINotification* inMessage, void* inContext);

class CDTAMIDIManager {
  public:
    /// The longest run of bytes one packet of a send carries.
    static constexpr std::uint32_t kMaxPacketData = 256;

    /// Replaces any existing manager with a new one whose client reports to inNotifyProc.
    /// Always returns 0; a client that cannot be created is reported on stderr.
    static OSStatus initialize(DTAMIDINotifyProc inNotifyProc, void* inContext);
    /// Destroys the manager, closing both sides; instance() is null afterwards.
    static void terminate();
    /// The manager, or null outside initialize/terminate.
    static CDTAMIDIManager* instance() { return s_instance; }

    ~CDTAMIDIManager();
    CDTAMIDIManager(const CDTAMIDIManager&) = delete;
    CDTAMIDIManager& operator=(const CDTAMIDIManager&) = delete;

    /// Appends the model of every source (destination) whose model can be read, in the
    /// service's order. With outIndices, also appends each listed endpoint's index in the
    /// service, the index that openMidiIn (openMidiOut) takes: the two differ once an
    /// endpoint with an unreadable model has been left out.
    void getMidiInDevices(std::vector<std::string>& ioNames,
                          std::vector<std::uint32_t>* outIndices = nullptr);
    void getMidiOutDevices(std::vector<std::string>& ioNames,
                           std::vector<std::uint32_t>* outIndices = nullptr);

    /// Closes the input, then opens a port connected to the source at inIndex, delivering
    /// complete SysEx messages to inCallback. inCapacity bytes are reserved for assembling
    /// them. Returns the status of the port creation if it fails, else of the connection.
    OSStatus openMidiIn(std::uint32_t inIndex, DTAMIDIInputCallback inCallback, void* inContext,
                        std::int32_t inCapacity);
    /// Closes the output, then opens a port aimed at the destination at inIndex.
    OSStatus openMidiOut(std::uint32_t inIndex);
    OSStatus closeMidiIn();
    OSStatus closeMidiOut();
    OSStatus startMidiIn();
    OSStatus startMidiOut();
    OSStatus stopMidiIn();
    /// Drops pending output of the destination; the port stays open.
    OSStatus stopMidiOut();

    /// The destination the output is aimed at, 0 when none.
    MIDIEndpointRef openedDestination() const;
    bool isOpenedMidiIn() const;
    bool isOpenedMidiOut() const;
    bool isStartedMidiIn() const { return mInputStarted; }
    bool isStartedMidiOut() const { return mOutputStarted; }

    /// Closes each side whose endpoint is no longer listed by the service (compared by name).
    void healthCheck();

    /// Sends one channel or system message of 1 to 3 bytes built from the arguments (the
    /// channel goes into the low nibble of a channel status). Returns 0 without sending while
    /// no output is open, kMIDIMessageSendErr for status 0xF0 (SysEx goes through
    /// sendLongMessage).
    OSStatus sendShortMessage(std::int32_t inChannel, std::int32_t inStatus, std::int32_t inData1,
                              std::int32_t inData2);
    /// Sends inLength bytes as they are, in one packet list of chunks of at most 256 bytes
    /// with one time stamp. Returns 0 without sending while no destination is open, paramErr
    /// for a negative length or a null pointer with a positive length.
    OSStatus sendLongMessage(const std::uint8_t* inData, std::int32_t inLength);

    /// The input port's read procedure. inReadProcRefCon is the manager.
    static void procMidiIn(const MIDIPacketList* inList, void* inReadProcRefCon,
                           void* inSrcConnRefCon);

  private:
    struct SPrivateMember;

    CDTAMIDIManager(DTAMIDINotifyProc inNotifyProc, void* inContext);

    void listEndpoints(bool inSources, std::vector<std::string>& ioNames,
                       std::vector<std::uint32_t>* outIndices) const;
    /// True if inEndpoint's name is still carried by an endpoint the service lists.
    bool isStillListed(MIDIEndpointRef inEndpoint, bool inSource) const;
    /// Feeds one packet's bytes to the SysEx assembly. Inside the critical region.
    void assemble(const std::uint8_t* inBytes, std::uint32_t inLength);
    /// Handles a status byte: ends, drops or starts a message. Inside the critical region.
    void assembleStatus(std::uint8_t inStatus);
    OSStatus sendPackets(const std::uint8_t* inData, std::uint32_t inLength,
                         std::uint32_t inListSize);

    static CDTAMIDIManager* s_instance;

    std::unique_ptr<SPrivateMember> mPrivate;
    // Written inside the critical region; the read procedure may glance at the callback
    // before it enters the region, hence the atomic.
    std::atomic<DTAMIDIInputCallback> mInputCallback{nullptr};
    void* mInputContext = nullptr;
    bool mInputStarted = false;
    bool mOutputStarted = false;
};

/// Converts a platform string to text in inEncoding; a null string, or one that cannot be
/// converted, gives the empty string.
void getStringFromCFString(CFStringRef inString, std::string& outResult,
                           CFStringEncoding inEncoding);
