// Waiting in a test for something another thread (or process) brings about.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

/// True once inCondition holds, checked every 5 ms for up to inTimeout.
inline bool eventually(const std::function<bool()>& inCondition,
                       std::chrono::seconds inTimeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + inTimeout;
    while (!inCondition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
