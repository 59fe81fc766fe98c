// What playing a firmware image must deliver to the device, for comparing with what the
// simulated device received. Built on the playback's own schedule.
#pragma once

#include "Simulator/TransferReport.h"

#include <optional>
#include <vector>

/// The image's SysEx messages in send order with their times; nothing, with the reason in
/// outWhy, when the playback would refuse the image.
[[nodiscard]] std::optional<std::vector<SExpectedMessage>>
expectedTransfer(const std::vector<std::uint8_t>& inImage, std::string& outWhy);
