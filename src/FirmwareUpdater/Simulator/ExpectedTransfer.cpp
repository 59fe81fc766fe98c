#include "ExpectedTransfer.h"

#include "Common/FirmwareSchedule.h"

std::optional<std::vector<SExpectedMessage>>
expectedTransfer(const std::vector<std::uint8_t>& inImage) {
    CSMF image;
    std::uint32_t count = 0;
    CFirmwareSchedule schedule;
    if (inImage.empty() ||
        !image.setData(inImage.data(), static_cast<std::uint32_t>(inImage.size()), count) ||
        !schedule.build(image)) {
        return std::nullopt;
    }
    std::vector<SExpectedMessage> expected;
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        expected.push_back({schedule.timeOf(i),
                            {schedule.bytesOf(i), schedule.bytesOf(i) + schedule.lengthOf(i)}});
    }
    return expected;
}
