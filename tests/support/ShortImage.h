// A firmware image of 50 messages 40 ms apart: two seconds, for runs of the real workflow
// whose point is not the sample image's timing.
#pragma once

#include "FirmwareImage.h"

inline std::vector<std::uint8_t> shortFirmwareImage() {
    SFirmwareImage image;
    image.division = 1000; // at 120 bpm a tick is 0.5 ms
    image.tempos = {{0, 500000}};
    for (std::uint32_t i = 0; i < 50; ++i) {
        image.messages.push_back({i * 80, makeFirmwareMessage(i, 200, 7)});
    }
    return buildFirmwareImage(image);
}
