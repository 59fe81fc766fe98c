// The rules by which incoming MIDI bytes become SysEx messages, written plainly: data bytes
// join a message being collected; F7 ends it and delivers it; any other status byte
// (real-time ones too) drops it; F0 starts a new one. The assembly fuzzer and the stress
// test hold the MIDI manager's read procedure to it.
#pragma once

#include <cstdint>
#include <vector>

/// The complete F0 ... F7 messages in inPackets, in order.
inline std::vector<std::vector<std::uint8_t>>
CompleteSysExMessages(const std::vector<std::vector<std::uint8_t>>& inPackets) {
    std::vector<std::vector<std::uint8_t>> messages;
    std::vector<std::uint8_t> current;
    bool collecting = false;
    for (const std::vector<std::uint8_t>& packet : inPackets) {
        for (const std::uint8_t byte : packet) {
            if (byte < 0x80) {
                if (collecting) {
                    current.push_back(byte);
                }
                continue;
            }
            if (collecting && byte == 0xF7) {
                current.push_back(byte);
                messages.push_back(current);
            }
            collecting = byte == 0xF0;
            current.assign(collecting ? 1 : 0, 0xF0);
        }
    }
    return messages;
}
