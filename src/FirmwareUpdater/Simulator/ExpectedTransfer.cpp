#include "ExpectedTransfer.h"

#include "Common/FirmwareSchedule.h"

std::optional<std::vector<SExpectedMessage>>
expectedTransfer(const std::vector<std::uint8_t>& inImage, std::string& outWhy) {
    CFirmwareSchedule schedule;
    outWhy = schedule.buildFromImage(inImage.data(), static_cast<std::uint32_t>(inImage.size()));
    if (!outWhy.empty()) {
        return std::nullopt;
    }
    std::vector<SExpectedMessage> expected;
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        expected.push_back({schedule.timeOf(i),
                            {schedule.bytesOf(i), schedule.bytesOf(i) + schedule.lengthOf(i)}});
    }
    return expected;
}
