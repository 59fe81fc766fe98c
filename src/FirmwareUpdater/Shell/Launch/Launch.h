// One launch of the updater, the same for every front-end: the preference file's place,
// the system log, the firmware image (bundled, or --firmware), the MIDI system (ALSA, or
// with --simulate the simulated device with its misbehaviours and the user's hand that
// switches it to update mode when they confirm the update-mode prompt).
#pragma once

#include "Common/VYRController.h"
#include "Shell/Launch/DeviceList.h"
#include "Shell/Launch/Endings.h"
#include "Shell/Launch/LaunchOptions.h"
#include "Shell/Launch/StatusLock.h"
#include "Shell/VYRAppDelegate.h"

#include <memory>
#include <optional>
#include <string>

/// What the check of the firmware image found, for the front-ends to show.
struct SImageFacts {
    std::size_t messages = 0;
    std::uint64_t bytes = 0;      // of its SysEx messages
    std::uint32_t durationMs = 0; // from the first message to the last one's time
};

/// What a launch did, for a report that programs read.
struct SLaunchFacts {
    std::optional<SEndpointText> device; // the destination the transfer went to
    CVYRController::STransferTally transfer;
    bool resumed = false;          // went on with a transfer an earlier run had begun
    std::optional<bool> keptAwake; // whether the computer was kept awake; once a transfer began
    std::optional<STransferReport> simulation; // with --simulate, once a transfer began
};

class CUnattended;

/// How one launch ended, for people and programs.
struct SLaunchResult {
    const SEnding* ending = &endingRow(EEnding::kUnexpectedError); // its name and exit status
    std::string message; // why it ended so, as people were told it; "" when complete
    std::string report;  // with --simulate: what the device received, for people
    double seconds = 0;  // the whole run
    SLaunchFacts facts;

    /// Ends as inEnding says, with inMessage.
    static SLaunchResult of(const SEnding& inEnding, std::string inMessage);
};

class CLaunch {
  public:
    /// The largest firmware image taken (the codec's sizes are 32-bit; images are ~1 MB).
    static constexpr std::size_t kMaxImageBytes = 64u << 20;

    /// Opens the system log as inProgram; with --simulate installs the simulated device.
    CLaunch(const char* inProgram, SLaunchOptions inOptions);
    ~CLaunch();

    CLaunch(const CLaunch&) = delete;
    CLaunch& operator=(const CLaunch&) = delete;

    /// --prefs, else the simulation's own file, else the user's real one.
    std::string preferencePath() const;
    /// Reads and checks the firmware image, starts the MIDI system and takes the status
    /// file's lock, before anything touches the device. Returns kNone, or the refusal with
    /// one line for the user in outMessage (the file and what is wrong, what the MIDI system
    /// lacks, or who holds the lock).
    [[nodiscard]] ELaunchRefusal prepare(std::string& outMessage);
    /// Installs the MIDI system of the options (with the --device filter); false, with
    /// why in outMessage, when it cannot start. prepare() calls it.
    [[nodiscard]] bool startMIDI(std::string& outMessage);
    /// The checked image (empty before prepare() succeeded).
    const std::vector<std::uint8_t>& firmwareImage() const { return mImage; }
    /// What its check found (zero before prepare() succeeded).
    const SImageFacts& imageFacts() const { return mImageFacts; }
    /// The whole update with inFrontEnd, from the launch sequence to termination. Only after
    /// prepare() returned kNone.
    ELaunchOutcome run(CFrontEnd& inFrontEnd);
    /// run(), and how it ended: why in words (an unattended run's reason for giving up, an
    /// error's message, the ending's sentence), the report, what it did. inUnattended is the
    /// front-end that answers for inFrontEnd, if one does (it is then inFrontEnd).
    SLaunchResult runToTheEnd(CFrontEnd& inFrontEnd, const CUnattended* inUnattended = nullptr);
    /// True once the transfer began (the progress view was shown).
    bool transferBegan() const { return mTransferBegan; }
    /// How the run ended, inGaveUp when an unattended run gave up; after run().
    const SEnding& ending(ELaunchOutcome inOutcome, bool inGaveUp) const {
        return endingRow(endingOf(inOutcome, inGaveUp, mTransferBegan));
    }
    /// True while the MIDI service lists a source and destination of the device family;
    /// once run() has started MIDI.
    static bool deviceListed();
    /// The destination of the device family the MIDI service lists now, if any.
    static std::optional<SEndpointText> foundDevice();
    /// The firmware image's file: --firmware, or the bundled one ("" when it is missing).
    std::string imagePath() const;
    /// With --simulate, after a transfer began: what the device received, as lines for
    /// people; "" otherwise.
    std::string report() const;
    /// What the run did; after run().
    SLaunchFacts facts() const;

  private:
    class CLaunchedUI;

    void tellMisbehavioursPastTheImage(CFrontEnd& ioFrontEnd) const;
    /// The status file's lock (its folder made first where it is the default one).
    ELaunchRefusal takeLock(std::string& outMessage);

    std::string mProgram;
    SLaunchOptions mOptions;
    std::unique_ptr<CSimulation> mSimulation;
    std::vector<std::uint8_t> mImage;
    SImageFacts mImageFacts;
    CStatusLock mLock;
    bool mTransferBegan = false;
    bool mResumed = false;
    std::optional<bool> mKeptAwake;
    std::optional<SEndpointText> mDevice;
};
