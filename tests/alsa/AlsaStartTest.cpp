// A machine where ALSA cannot be used: the service does not start, and the user reads
// one line in the program's words, not alsa-lib's.
#include "Platform/Alsa/AlsaMIDIDriver.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(AlsaStart, WithoutSoundDevicesTheServiceDoesNotStartAndSaysWhy) {
    if (::access("/dev/snd/seq", F_OK) == 0) {
        GTEST_SKIP() << "this machine has a sequencer; the VM suite covers the driver";
    }
    testing::internal::CaptureStderr();
    std::string problem;
    EXPECT_EQ(MIDIServiceInstallDriver(std::make_shared<CAlsaMIDIDriver>(), {}, &problem),
              kMIDIServerStartErr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "alsa-lib printed its own line";
    EXPECT_NE(problem.find(::access("/dev/snd", F_OK) == 0 ? "/dev/snd/seq" : "no sound devices"),
              std::string::npos)
        << problem;
    MIDIClientRef client = 0;
    EXPECT_EQ(MIDIClientCreate(CFSTR("x"), nullptr, nullptr, &client), kMIDIServerStartErr);
}

} // namespace
