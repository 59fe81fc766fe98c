// The VYR device's heartbeat: F0 43 7D 60 44 54 41 <status> F7, sent in normal mode.
#pragma once

#include <cstdint>
#include <vector>

// The status byte the simulated devices send in their heartbeat.
constexpr std::uint8_t kVYRNormalModeStatus = 0x30;

inline std::vector<std::uint8_t> VYRHeartbeat(std::uint8_t inStatus) {
    return {0xF0, 0x43, 0x7D, 0x60, 0x44, 0x54, 0x41, inStatus, 0xF7};
}
