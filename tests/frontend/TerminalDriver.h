// Plays the user of the terminal front-end on a pseudo-terminal: what it prints is read from
// the other end, where the keys go in.
#pragma once

#include "Eventually.h"
#include "Question.h"
#include "TerminalUI.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <pty.h>
#include <string>
#include <thread>
#include <unistd.h>

/// What the user does once a prompt is shown; inShown is what the screen shows.
using Action = std::function<void(const std::string& inShown)>;

class CTerminalDriver {
  public:
    CTerminalDriver() {
        EXPECT_EQ(openpty(&mUser, &mTerminal, nullptr, nullptr, nullptr), 0);
        mOutput = fdopen(dup(mTerminal), "w");
        mUI.emplace(STerminalOptions{.inputFd = mTerminal, .output = mOutput, .errors = mOutput});
        mReader = std::thread([this] {
            char buffer[512];
            for (ssize_t n; (n = read(mUser, buffer, sizeof buffer)) > 0;) {
                const std::lock_guard<std::mutex> lock(mMutex);
                mScreen.append(buffer, static_cast<std::size_t>(n));
            }
        });
    }
    ~CTerminalDriver() {
        if (mActor.joinable()) {
            mActor.join();
        }
        mUI.reset();
        std::fclose(mOutput);
        close(mTerminal); // the reader sees the end
        mReader.join();
        close(mUser);
    }
    CFrontEnd& ui() { return *mUI; }

    /// Runs inAction with what the screen shows once inText is on it (after what was there)
    /// and inDelay has passed.
    void whenShown(const std::string& inText, Action inAction,
                   std::chrono::milliseconds inDelay = std::chrono::milliseconds(0)) {
        if (mActor.joinable()) {
            mActor.join();
        }
        const std::size_t from = screen().size();
        mActor = std::thread([this, inText, inAction, inDelay, from] {
            std::string shown;
            ASSERT_TRUE(eventually([&] {
                shown = screen().substr(from);
                return shown.find(inText) != std::string::npos;
            })) << shown;
            std::this_thread::sleep_for(inDelay);
            inAction(shown);
        });
    }
    void accept(const std::string&) { type("\n"); }
    void backOut(const std::string&) { type("\x04"); } // the end of input
    void choose(const std::string& inTitle) { type(inTitle + "\n"); }
    /// True once the progress view shows inPercent (nothing: it is not shown).
    bool shows(std::optional<int> inPercent) {
        return eventually([&] {
            const std::string text = screen();
            const std::string line = text.substr(text.find_last_of('\n') + 1);
            const std::size_t sign = line.rfind('%');
            const std::optional<int> shown =
                sign == std::string::npos || sign < 3
                    ? std::nullopt
                    : std::optional<int>(std::stoi(line.substr(sign - 3, 3)));
            return shown == inPercent;
        });
    }

    void type(const std::string& inKeys) {
        EXPECT_EQ(write(mUser, inKeys.data(), inKeys.size()), static_cast<ssize_t>(inKeys.size()));
    }
    std::string screen() {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mScreen;
    }
    /// The terminal's end, as the program under test has it.
    int terminal() const { return mTerminal; }

  private:
    int mUser = -1;
    int mTerminal = -1;
    std::FILE* mOutput = nullptr;
    std::optional<CTerminalUI> mUI;
    std::mutex mMutex;
    std::string mScreen;
    std::thread mReader;
    std::thread mActor;
};
