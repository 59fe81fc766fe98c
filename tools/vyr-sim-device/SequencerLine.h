// The device as a sequencer client of its own, named as the model ("VYR5"), with one port
// "<model> MIDI 1" that others read from and write to: a software endpoint.
#pragma once

#include "DeviceLine.h"

#include <alsa/asoundlib.h>

class CSequencerLine final : public CDeviceLine {
  public:
    explicit CSequencerLine(std::string inModel);
    ~CSequencerLine() override;

    CSequencerLine(const CSequencerLine&) = delete;
    CSequencerLine& operator=(const CSequencerLine&) = delete;

    /// "" when the client exists, else why not.
    const std::string& problem() const { return mProblem; }

    std::string describe() const override;
    std::vector<pollfd> descriptors() override;
    [[nodiscard]] bool read(std::vector<std::uint8_t>& ioBytes) override;
    [[nodiscard]] bool write(const std::vector<std::uint8_t>& inBytes) override;
    [[nodiscard]] bool replug(std::chrono::milliseconds inDelay, std::string& outWhy) override;

  private:
    [[nodiscard]] bool open(std::string& outWhy);
    void close();

    const std::string mModel;
    std::string mProblem;
    snd_seq_t* mSequencer = nullptr;
    int mPort = -1;
    snd_midi_event_t* mParser = nullptr;
};
